#include <windows.h>

#include <gtest/gtest.h>

#include "FakeJni.h"
#include "JniLibraries.h"
#include "TestFolder.h"
#include "Text.h"
#include "UniqueHandle.h"
#include "TestTime.h"

using namespace tarrow::test;
using tarrow::UniqueHandle;

namespace {

// Runs this test program in a helper role (see JniTestMain.cpp) and returns the process.
UniqueHandle runRole(const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return UniqueHandle();
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

DWORD exitCode(const UniqueHandle& process) {
    WaitForSingleObject(process.get(), scaledMilliseconds(30000));
    DWORD code = 99;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

} // namespace

TEST(SingleInstance, HeldUntilTheHolderEnds) {
    const std::wstring name = L"TarrowInstance" + std::to_wstring(GetCurrentProcessId());
    const std::wstring release = name + L"Release";
    UniqueHandle releaseEvent(CreateEventW(nullptr, TRUE, FALSE, release.c_str()));
    UniqueHandle holder = runRole(L"--hold-instance " + name + L" " + release);
    ASSERT_TRUE(holder);
    // The holder reports its own check by creating this event.
    const std::wstring ready = name + L"Ready";
    UniqueHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
    ASSERT_EQ(WaitForSingleObject(readyEvent.get(), scaledMilliseconds(30000)), WAIT_OBJECT_0);

    EXPECT_EQ(exitCode(runRole(L"--check-instance " + name)), 0u) << "second process refused";
    EXPECT_EQ(exitCode(runRole(L"--check-instance " + name + L"Other")), 1u) << "other name free";
    SetEvent(releaseEvent.get());
    EXPECT_EQ(exitCode(holder), 1u);
    EXPECT_EQ(exitCode(runRole(L"--check-instance " + name)), 1u) << "free after the holder ended";
}

TEST(SingleInstance, SecondCallInTheSameProcessIsRefused) {
    NativeLibrary helper(L"Helper.dll");
    FakeJni jni;
    auto check = helper.native<CheckInstance>(std::string(kInstanceHelper) + "checkSingleInstance");
    ASSERT_TRUE(check);
    const std::string name = "TarrowSame" + std::to_string(GetCurrentProcessId());
    EXPECT_EQ(check(jni.env(), nullptr, jni.string(name)), JNI_TRUE);
    EXPECT_EQ(check(jni.env(), nullptr, jni.string(name)), JNI_FALSE);
    // Names that differ only in characters the ANSI code page lacks ("Ж", "Д") are different.
    EXPECT_EQ(check(jni.env(), nullptr, jni.string(name + "\xd0\x96")), JNI_TRUE);
    EXPECT_EQ(check(jni.env(), nullptr, jni.string(name + "\xd0\x94")), JNI_TRUE);
    EXPECT_EQ(jni.outstandingChars(), 0);
}

TEST(Dialup, RolesAgainstTheRasStandin) {
    // Each case runs in a fresh process so that the RAS stand-in starts from its settings.
    TestFolder folder;
    const std::wstring log = folder / L"ras.log";
    SetEnvironmentVariableW(L"RAS_STANDIN_LOG", log.c_str());

    SetEnvironmentVariableW(L"RAS_STANDIN_CONNECTIONS", L"0");
    EXPECT_EQ(exitCode(runRole(L"--ras-connected")), 0u);
    EXPECT_EQ(exitCode(runRole(L"--ras-hangup")), 0u);
    auto calls = tarrow::splitLines(readFile(log));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].substr(0, 5), "enum ");
    DeleteFileW(log.c_str());

    // Five connections do not fit the first 412-byte record: the list grows once.
    SetEnvironmentVariableW(L"RAS_STANDIN_CONNECTIONS", L"5");
    SetEnvironmentVariableW(L"RAS_STANDIN_LINGER", L"1");
    EXPECT_EQ(exitCode(runRole(L"--ras-connected")), 1u);
    DeleteFileW(log.c_str());
    EXPECT_EQ(exitCode(runRole(L"--ras-hangup")), 0u);
    calls = tarrow::splitLines(readFile(log));
    std::vector<std::string> hangUps;
    std::vector<unsigned long long> times;
    for (const auto& line : calls) {
        if (line.rfind("hangup ", 0) == 0) {
            hangUps.push_back(line.substr(7, line.find(' ', 7) - 7));
            times.push_back(std::stoull(line.substr(line.find(" t=") + 3)));
        }
    }
    // Each connection is hung up while RAS still lists it, and again in the next pass.
    EXPECT_EQ(hangUps,
              (std::vector<std::string>{"id=100", "id=101", "id=102", "id=103", "id=104", "id=100",
                                        "id=101", "id=102", "id=103", "id=104"}));
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 75u) << i; // a 100 ms pause, on a coarse clock
    EXPECT_EQ(calls.back().substr(0, 5), "enum ");
    EXPECT_NE(calls.back().find("listed=0"), std::string::npos);
    SetEnvironmentVariableW(L"RAS_STANDIN_LINGER", nullptr);
    DeleteFileW(log.c_str());

    // A listing that never succeeds ends the hang-up after a bounded number of passes.
    SetEnvironmentVariableW(L"RAS_STANDIN_NO_ROOM", L"1");
    EXPECT_EQ(exitCode(runRole(L"--ras-hangup")), 0u);
    calls = tarrow::splitLines(readFile(log));
    EXPECT_EQ(calls.size(), 64u * 5) << "64 passes of five listing calls";
    SetEnvironmentVariableW(L"RAS_STANDIN_NO_ROOM", nullptr);
    DeleteFileW(log.c_str());

    SetEnvironmentVariableW(L"RAS_STANDIN_CONNECTIONS", L"0");
    SetEnvironmentVariableW(L"RAS_STANDIN_ENTRIES", L"Office,Home,Backup");
    EXPECT_EQ(exitCode(runRole(L"--ras-dial")), 1u);
    calls = tarrow::splitLines(readFile(log));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_NE(calls[1].find("entries size="), std::string::npos);
    EXPECT_NE(calls[2].find("entry=Office phone=[] callback=[] user=[] password=[] domain=[*] "
                            "phonebook=(default)"),
              std::string::npos)
        << calls[2];
    EXPECT_NE(calls[3].find("dial entry=Office user=stored-user domain=* extensions=0 phonebook=0 "
                            "notifier=0/0"),
              std::string::npos)
        << calls[3];
    DeleteFileW(log.c_str());

    SetEnvironmentVariableW(L"RAS_STANDIN_ENTRIES", L"");
    EXPECT_EQ(exitCode(runRole(L"--ras-dial")), 0u);
    for (const auto& line : tarrow::splitLines(readFile(log)))
        EXPECT_NE(line.substr(0, 5), "dial ");
    SetEnvironmentVariableW(L"RAS_STANDIN_LOG", nullptr);
    SetEnvironmentVariableW(L"RAS_STANDIN_ENTRIES", nullptr);
    SetEnvironmentVariableW(L"RAS_STANDIN_CONNECTIONS", nullptr);
}
