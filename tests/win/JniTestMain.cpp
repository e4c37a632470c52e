// Entry of the JNI test host. Besides running the tests, the program takes helper roles for
// tests that need a second process:
//   --check-instance NAME            exit 1 when checkSingleInstance(NAME) is true, else 0
//   --hold-instance NAME EVENT       take NAME, signal NAME+"Ready", wait for EVENT, exit 1/0
//   --ras-connected / --ras-dial     exit 1 when isConnected / DialUp is true, else 0
//   --ras-hangup                     HangUp, exit 0
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "FakeJni.h"
#include "JniLibraries.h"
#include "TestTime.h"

using namespace tarrow::test;

namespace {

std::string narrow(const wchar_t* text) {
    return std::string(text, text + wcslen(text));
}

int role(int argc, wchar_t** argv) {
    const std::wstring name = argv[1];
    FakeJni jni;
    if (name == L"--check-instance" || name == L"--hold-instance") {
        NativeLibrary helper(L"Helper.dll");
        auto check =
            helper.native<CheckInstance>(std::string(kInstanceHelper) + "checkSingleInstance");
        const bool single = check(jni.env(), nullptr, jni.string(narrow(argv[2]))) == JNI_TRUE;
        if (name == L"--hold-instance" && argc > 3) {
            HANDLE ready =
                CreateEventW(nullptr, TRUE, FALSE, (std::wstring(argv[2]) + L"Ready").c_str());
            SetEvent(ready);
            HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
            WaitForSingleObject(release, scaledMilliseconds(30000));
        }
        return single ? 1 : 0;
    }
    NativeLibrary nettaro(L"Nettaro.dll");
    if (name == L"--ras-connected")
        return nettaro.native<RasQuery>(std::string(kRasDial) + "isConnected")(jni.env(), nullptr)
                   ? 1
                   : 0;
    if (name == L"--ras-dial")
        return nettaro.native<RasQuery>(std::string(kRasDial) + "DialUp")(jni.env(), nullptr) ? 1
                                                                                              : 0;
    if (name == L"--ras-hangup") {
        nettaro.native<RasHangUp>(std::string(kRasDial) + "HangUp")(jni.env(), nullptr);
        return 0;
    }
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]).rfind(L"--", 0) == 0 &&
        std::wstring(argv[1]).rfind(L"--gtest", 0) != 0)
        return role(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
