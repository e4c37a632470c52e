// The natives of Helper.dll and Nettaro.dll, loaded from the test host's folder and resolved by
// their exported names, as a Java VM does.
#pragma once

#include <windows.h>

#include <jni.h>

#include <string>

namespace tarrow::test {

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

    template <typename Function> Function native(const std::string& javaName) const {
        return reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(module_, javaName.c_str())));
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
