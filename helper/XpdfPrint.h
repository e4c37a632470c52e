// The closed PDF library's functions as Helper calls them (C calling convention).
#pragma once

extern "C" {

typedef void* XpdfDocument;

int __cdecl pdfLoadFile(XpdfDocument* document, const char* path);
int __cdecl pdfAddOverlayText(XpdfDocument document, const char* text, const char* font, int a4,
                              int a5, const char* font2, int a7, int a8, double x, double y,
                              int a11, int a12);
int __cdecl pdfPrint2(XpdfDocument document, int w2, int w3, int w4, int w5, int w6, int w7, int w8,
                      int w9, int w10, int w11, int w12, int w13, int w14, int w15, int w16,
                      int w17, int w18, int w19, int w20, const char* printer, int w22, int w23);
int __cdecl pdfFree(XpdfDocument document);
}
