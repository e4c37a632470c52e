// The natives of Helper.dll and Nettaro.dll, loaded from the test host's folder and resolved by
// their exported names, as a Java VM on the same platform does.
#pragma once

#include <windows.h>

#include <jni.h>

#include <cstddef>
#include <string>

namespace tarrow::test {

// The bytes of arguments a 32-bit stdcall function takes off the stack: each parameter rounded
// up to four bytes. This is the number in the decorated name "_<name>@<bytes>".
template <typename Function> struct StdcallArgumentBytes;
template <typename Result, typename... Args>
struct StdcallArgumentBytes<Result(JNICALL*)(Args...)> {
    static constexpr std::size_t value = (std::size_t{0} + ... + ((sizeof(Args) + 3) / 4 * 4));
};

class NativeLibrary {
  public:
    explicit NativeLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
    ~NativeLibrary() {
        if (module_)
            FreeLibrary(module_);
    }
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;
    bool loaded() const { return module_ != nullptr; }
    bool exports(const std::string& symbol) const {
        return GetProcAddress(module_, symbol.c_str()) != nullptr;
    }

    // The native of this Java name with the function type the Java declaration gives it: a
    // 32-bit VM looks up the decorated stdcall name first and then the plain one, a 64-bit VM
    // the plain name. Null when the library exports neither.
    template <typename Function> Function native(const std::string& javaName) const {
        FARPROC found = nullptr;
#if defined(__i386__)
        const std::string decorated =
            "_" + javaName + "@" + std::to_string(StdcallArgumentBytes<Function>::value);
        found = GetProcAddress(module_, decorated.c_str());
#endif
        if (!found)
            found = GetProcAddress(module_, javaName.c_str());
        return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    }

  private:
    HMODULE module_;
};

constexpr const char* kPrintHelper = "Java_com_halvern_quorbane_client_configuration_PrintHelper_";
constexpr const char* kInstanceHelper =
    "Java_com_halvern_quorbane_client_common_MultipleInstanceHelper_";
constexpr const char* kRasDial = "Java_com_halvern_quorbane_client_configuration_RasDial_";

using GetPrinters = jobjectArray(JNICALL*)(JNIEnv*, jclass);
using GetPrinterDriver = jstring(JNICALL*)(JNIEnv*, jclass, jstring);
using Print = jint(JNICALL*)(JNIEnv*, jclass, jstring, jstring, jint);
using PrintOverlay = jint(JNICALL*)(JNIEnv*, jclass, jstring, jstring, jstring, jint, jint, jint);
using DiskSpace = jlong(JNICALL*)(JNIEnv*, jclass, jstring);
using CheckInstance = jboolean(JNICALL*)(JNIEnv*, jclass, jstring);
using RasQuery = jboolean(JNICALL*)(JNIEnv*, jclass);
using RasHangUp = void(JNICALL*)(JNIEnv*, jclass);

} // namespace tarrow::test
