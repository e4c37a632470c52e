// Printing natives of com.halvern.quorbane.client.configuration.PrintHelper: the printer list,
// a printer's driver, and printing a PDF file with an overlay line through XpdfPrint.
#include <windows.h>

#include <jni.h>
#include <winspool.h>

#include <cstdio>

#include "JniText.h"
#include "com_halvern_quorbane_client_configuration_PrintHelper.h"
#include "NativeGuard.h"
#include "UniqueHandle.h"
#include "XpdfPrint.h"

namespace tarrow {

namespace {

using UniquePrinter = UniqueAny<HANDLE, &::ClosePrinter>;

constexpr DWORD kPrinterEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
constexpr int kPrintJobWord = 0x30004;
constexpr jint kPrintFailed = -1;

// Printing runs at idle priority; afterwards the process and thread are set back to normal.
class IdlePriority {
  public:
    IdlePriority() {
        SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    }
    ~IdlePriority() {
        SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
    IdlePriority(const IdlePriority&) = delete;
    IdlePriority& operator=(const IdlePriority&) = delete;
};

// A loaded document, freed when the owner goes.
class Document {
  public:
    explicit Document(const char* path) : result_(pdfLoadFile(&handle_, path)) {}
    ~Document() {
        if (result_ == 0)
            pdfFree(handle_);
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    bool loaded() const { return result_ == 0; }
    int loadResult() const { return result_; }
    XpdfDocument handle() const { return handle_; }

  private:
    XpdfDocument handle_ = nullptr;
    int result_;
};

struct Overlay {
    const char* text;
    const char* font2;
    int a5;
    int a8;
    double x;
    double y;
};

// Loads, stamps and prints the document `copies` times; the result of the last copy (or of
// the load when it failed, or 0 when no copy was made). Callers run it under a fault guard,
// holding the Java strings and the priority outside it so that they are always given back.
int printDocument(const char* path, const char* printer, const Overlay& overlay, jint copies) {
    Document document(path);
    int result = document.loadResult();
    if (!document.loaded())
        return result;
    pdfAddOverlayText(document.handle(), overlay.text, "Arial", 0, overlay.a5, overlay.font2, 0,
                      overlay.a8, overlay.x, overlay.y, 0, 0);
    for (jint copy = 0; copy < copies; ++copy)
        result = pdfPrint2(document.handle(), kPrintJobWord, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0, 0, printer, 0, 0);
    return result;
}

jobjectArray printerList(JNIEnv* env) {
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(kPrinterEnumFlags, nullptr, 1, nullptr, 0, &needed, &count);
    UniqueHeapBlock buffer(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed ? needed : 1));
    if (!buffer) {
        std::fputs("Not enough memory\n\n", stdout);
        return nullptr;
    }
    if (!EnumPrintersW(kPrinterEnumFlags, nullptr, 1, static_cast<BYTE*>(buffer.get()), needed,
                       &needed, &count)) {
        std::printf("EnumPrinters() Failed with error: %lu\n", GetLastError());
        return nullptr;
    }
    jstring empty = newJavaString(env, std::wstring());
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(count), stringClass, empty);
    if (!array)
        return nullptr;
    const auto* printers = static_cast<const PRINTER_INFO_1W*>(buffer.get());
    for (DWORD i = 0; i < count; ++i)
        env->SetObjectArrayElement(array, static_cast<jsize>(i),
                                   newJavaString(env, printers[i].pName ? printers[i].pName : L""));
    return array;
}

jstring printerDriver(JNIEnv* env, jstring printerName) {
    auto name = javaText(env, printerName);
    if (!name)
        return nullptr;
    wchar_t dataType[] = L"RAW";
    PRINTER_DEFAULTSW defaults = {dataType, nullptr, PRINTER_ACCESS_USE};
    UniquePrinter printer;
    if (!OpenPrinterW(name->data(), printer.put(), &defaults))
        return nullptr;
    DWORD needed = 0;
    GetPrinterDriverW(printer.get(), nullptr, 2, nullptr, 0, &needed);
    if (needed == 0)
        return nullptr;
    UniqueLocalMemory block(LocalAlloc(LMEM_ZEROINIT, needed));
    if (!block || !GetPrinterDriverW(printer.get(), nullptr, 2, static_cast<BYTE*>(block.get()),
                                     needed, &needed))
        return nullptr;
    printer.reset();
    const wchar_t* driver = static_cast<const DRIVER_INFO_2W*>(block.get())->pName;
    return newJavaString(env, driver ? driver : L"");
}

// Prints through the PDF library, which takes byte strings: a path or printer name that the
// ANSI code page cannot hold fails instead of naming another file or printer.
jint printJavaDocument(JNIEnv* env, jstring file, jstring printer, const std::string& text,
                       const char* font2, int a5, int a8, double x, double y, jint copies) {
    const auto ansiPath = exactAnsi(javaText(env, file).value_or(L""));
    const auto ansiPrinter = exactAnsi(javaText(env, printer).value_or(L""));
    if (!ansiPath || !ansiPrinter)
        return kPrintFailed;
    IdlePriority idle;
    const Overlay overlay = {text.c_str(), font2, a5, a8, x, y};
    return faultGuarded<jint>(kPrintFailed, [&] {
        return printDocument(ansiPath->c_str(), ansiPrinter->c_str(), overlay, copies);
    });
}

} // namespace

} // namespace tarrow

using namespace tarrow;

extern "C" {

JNIEXPORT jobjectArray JNICALL
Java_com_halvern_quorbane_client_configuration_PrintHelper_getPrinters(JNIEnv* env, jclass) {
    return guarded<jobjectArray>(nullptr, [&] { return printerList(env); });
}

JNIEXPORT jstring JNICALL
Java_com_halvern_quorbane_client_configuration_PrintHelper_getPrinterDriver(JNIEnv* env, jclass,
                                                                            jstring printer) {
    return guarded<jstring>(nullptr, [&] { return printerDriver(env, printer); });
}

JNIEXPORT jint JNICALL Java_com_halvern_quorbane_client_configuration_PrintHelper_print(
    JNIEnv* env, jclass, jstring file, jstring printer, jint copies) {
    return guarded<jint>(kPrintFailed, [&] {
        return printJavaDocument(env, file, printer, "Merrowind Printing", "Helvetica-Bold", 1, 10,
                                 250.0, 25.0, copies);
    });
}

JNIEXPORT jint JNICALL Java_com_halvern_quorbane_client_configuration_PrintHelper_printOverLayText(
    JNIEnv* env, jclass, jstring file, jstring printer, jstring text, jint copies, jint x, jint y) {
    return guarded<jint>(kPrintFailed, [&] {
        const auto overlayText = javaText(env, text);
        return printJavaDocument(env, file, printer, lossyAnsi(overlayText.value_or(L"")),
                                 "Helvetica", 0, 6, static_cast<double>(x), static_cast<double>(y),
                                 copies);
    });
}

} // extern "C"
