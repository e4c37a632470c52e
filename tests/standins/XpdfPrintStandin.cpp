// Stand-in for the closed PDF library XpdfPrint.dll, for tests. It accepts the calls Helper
// makes, checks that a loaded file is a PDF, records every call with all its arguments and
// the process priority at that moment, and returns the codes the test chooses:
//   XPDF_STANDIN_LOG            file that receives one line per call
//   XPDF_STANDIN_LOAD_ERROR     code for a file that is not a PDF (default 3)
//   XPDF_STANDIN_PRINT_RESULTS  codes for successive pdfPrint2 calls, "5,0,7" (then 0)
//   XPDF_STANDIN_CRASH          "print": pdfPrint2 makes an access violation
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string variable(const char* name) {
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

void log(const char* format, ...) {
    const std::string path = variable("XPDF_STANDIN_LOG");
    if (path.empty())
        return;
    FILE* out = std::fopen(path.c_str(), "ab");
    if (!out)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fprintf(out, " priority=%lu thread=%d\n", GetPriorityClass(GetCurrentProcess()),
                 GetThreadPriority(GetCurrentThread()));
    std::fclose(out);
}

int g_documents = 0;
size_t g_printCalls = 0;

int nextPrintResult() {
    const std::string results = variable("XPDF_STANDIN_PRINT_RESULTS");
    size_t start = 0;
    for (size_t i = 0; i < g_printCalls && start != std::string::npos; ++i) {
        start = results.find(',', start);
        if (start != std::string::npos)
            ++start;
    }
    ++g_printCalls;
    if (start == std::string::npos || start >= results.size())
        return 0;
    return std::atoi(results.c_str() + start);
}

} // namespace

extern "C" {

__declspec(dllexport) int __cdecl pdfLoadFile(void** document, const char* path) {
    char header[5] = {};
    FILE* in = std::fopen(path, "rb");
    const bool pdf = in && std::fread(header, 1, 4, in) == 4 && std::strcmp(header, "%PDF") == 0;
    if (in)
        std::fclose(in);
    const std::string error = variable("XPDF_STANDIN_LOAD_ERROR");
    const int result = pdf ? 0 : (error.empty() ? 3 : std::atoi(error.c_str()));
    if (result == 0)
        *document = reinterpret_cast<void*>(static_cast<intptr_t>(++g_documents));
    log("load path=%s result=%d", path, result);
    return result;
}

__declspec(dllexport) int __cdecl pdfAddOverlayText(void* document, const char* text,
                                                    const char* font, int a4, int a5,
                                                    const char* font2, int a7, int a8, double x,
                                                    double y, int a11, int a12) {
    log("overlay doc=%d text=%s font=%s a4=%d a5=%d font2=%s a7=%d a8=%d x=%.1f y=%.1f a11=%d "
        "a12=%d",
        static_cast<int>(reinterpret_cast<intptr_t>(document)), text, font, a4, a5, font2, a7, a8,
        x, y, a11, a12);
    return 0;
}

__declspec(dllexport) int __cdecl pdfPrint2(void* document, int w2, int w3, int w4, int w5, int w6,
                                            int w7, int w8, int w9, int w10, int w11, int w12,
                                            int w13, int w14, int w15, int w16, int w17, int w18,
                                            int w19, int w20, const char* printer, int w22,
                                            int w23) {
    if (variable("XPDF_STANDIN_CRASH") == "print")
        *static_cast<volatile int*>(nullptr) = 1;
    const int result = nextPrintResult();
    log("print doc=%d w2=%d zeros=%d printer=%s w22=%d w23=%d result=%d",
        static_cast<int>(reinterpret_cast<intptr_t>(document)), w2,
        w3 | w4 | w5 | w6 | w7 | w8 | w9 | w10 | w11 | w12 | w13 | w14 | w15 | w16 | w17 | w18 |
            w19 | w20,
        printer, w22, w23, result);
    return result;
}

__declspec(dllexport) int __cdecl pdfFree(void* document) {
    log("free doc=%d", static_cast<int>(reinterpret_cast<intptr_t>(document)));
    return 0;
}
}
