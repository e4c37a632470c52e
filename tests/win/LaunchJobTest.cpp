// The launcher and the processes of its launch: Tarrow.exe runs in a fresh layout with the
// stand-in VM, which starts a stand-in child; the test kills the launcher, or lets the VM end by
// itself, and watches what keeps running and what is left in the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LauncherTestSupport.h"
#include "TestFolder.h"
#include "TestTime.h"
#include "UniqueHandle.h"

using tarrow::UniqueHandle;
using tarrow::test::narrow;
using tarrow::test::scaledMilliseconds;
using tarrow::test::TestFolder;
using tarrow::test::variable;

namespace {

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The value of the first "key=" line of a stand-in record.
std::string recordValue(const std::string& record, const std::string& key) {
    const std::string marker = key + "=";
    size_t at = record.compare(0, marker.size(), marker) == 0 ? 0 : record.find("\n" + marker);
    if (at == std::string::npos)
        return std::string();
    at += at == 0 ? marker.size() : marker.size() + 1;
    return record.substr(at, record.find('\n', at) - at);
}

// The VM information file of a VM's record: its second launcher argument, written with "/".
std::wstring infoFileOf(const std::string& record) {
    const std::string line = recordValue(record, "commandline");
    const size_t end = line.find(".tmp\"");
    if (end == std::string::npos)
        return std::wstring();
    const size_t start = line.rfind('"', end) + 1;
    std::wstring path = widen(line.substr(start, end + 4 - start));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Whether this system ends the processes of a job whose last handle closes
// (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE), tried on a suspended copy of this test program in a job
// of the test's own, apart from the launcher.
bool jobsEndTheirProcessesOnClose() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (!job || length == 0 || length >= MAX_PATH ||
        !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        return false;
    std::wstring line = L"\"" + std::wstring(program, length) + L"\" --gtest_list_tests";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &info))
        return false;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    const bool assigned = AssignProcessToJobObject(job.get(), process.get()) != FALSE;
    job.reset();
    const bool ended =
        WaitForSingleObject(process.get(), scaledMilliseconds(10000)) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.get(), 1);
    return assigned && ended;
}

class LaunchJob : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.makeFolder(L"app");
        launcher = folder / L"app\\Tarrow.exe";
        ASSERT_TRUE(CopyFileW(variable(L"KIV_TARROW_EXE").c_str(), launcher.c_str(), FALSE));
        const std::wstring vm = folder.copyStandin(L"standin_plain", L"vm\\bin\\java.exe");
        const std::wstring child = folder.copyStandin(L"standin_plain", L"child\\child.exe");
        folder.write(L"vm\\bin\\standin-record.txt", narrow(folder / L"vm-record.txt"));
        folder.write(L"vm\\bin\\standin-child.txt", narrow(child));
        folder.write(L"child\\standin-record.txt", narrow(folder / L"child-record.txt"));
        // The child runs until the test releases it (at most two minutes).
        folder.write(L"child\\standin-hold.txt", narrow(folder / L"child-release.txt"));
        std::string vmPath = narrow(vm);
        std::replace(vmPath.begin(), vmPath.end(), '\\', '/');
        folder.write(L"app\\Tarrow.kiv", "kiv.nl.java.launcher.main.class=com.example.Main\r\n"
                                         "kiv.class.path=lib\\app.jar\r\n"
                                         "kiv.nl.current.vm=" +
                                             vmPath + "\r\n");
    }
    void TearDown() override {
        folder.write(L"vm-release.txt", "go");
        folder.write(L"child-release.txt", "go");
        for (HANDLE process : {vmProcess.get(), childProcess.get()}) {
            if (process && WaitForSingleObject(process, scaledMilliseconds(10000)) != WAIT_OBJECT_0)
                TerminateProcess(process, 1);
        }
        if (!infoFile.empty())
            DeleteFileW(infoFile.c_str());
    }
    // The VM runs until the test releases it.
    void holdTheVm() {
        folder.write(L"vm\\bin\\standin-hold.txt", narrow(folder / L"vm-release.txt"));
    }
    UniqueHandle startLauncher() {
        std::wstring line = L"\"" + launcher + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return UniqueHandle();
        CloseHandle(info.hThread);
        return UniqueHandle(info.hProcess);
    }
    // The record of a stand-in once it is complete (empty when it never is).
    std::string awaitRecord(const wchar_t* name) {
        const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(20000);
        std::string text;
        while ((text = tarrow::test::readFile(folder / name)).find("end\n") == std::string::npos &&
               GetTickCount64() < deadline)
            Sleep(20);
        return text;
    }
    // Opens the VM and its child once both have recorded themselves.
    void openTheVmAndItsChild() {
        const std::string vmRecord = awaitRecord(L"vm-record.txt");
        const std::string childRecord = awaitRecord(L"child-record.txt");
        const DWORD access = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
        vmProcess.reset(OpenProcess(access, FALSE, std::stoul("0" + recordValue(vmRecord, "pid"))));
        childProcess.reset(
            OpenProcess(access, FALSE, std::stoul("0" + recordValue(childRecord, "pid"))));
        infoFile = infoFileOf(vmRecord);
    }
    bool ends(HANDLE process) {
        return WaitForSingleObject(process, scaledMilliseconds(10000)) == WAIT_OBJECT_0;
    }
    // Whether a process still runs after the test has given it time to be ended.
    bool keepsRunning(HANDLE process) {
        return WaitForSingleObject(process, scaledMilliseconds(1000)) == WAIT_TIMEOUT;
    }

    TestFolder folder;
    std::wstring launcher;
    std::wstring infoFile;
    UniqueHandle vmProcess, childProcess;
};

} // namespace

TEST_F(LaunchJob, KilledLauncherTakesItsVmAndTheVmsChildAlong) {
    holdTheVm();
    UniqueHandle process = startLauncher();
    ASSERT_TRUE(process);
    openTheVmAndItsChild();
    ASSERT_TRUE(vmProcess && childProcess);
    ASSERT_TRUE(keepsRunning(vmProcess.get()));
    ASSERT_TRUE(TerminateProcess(process.get(), 9));
    const bool vmEnded = ends(vmProcess.get());
    const bool childEnded = ends(childProcess.get());
    if (!vmEnded && !jobsEndTheirProcessesOnClose())
        GTEST_SKIP() << "expected failure: this system's job objects do not end their processes "
                        "when the last handle closes (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)";
    EXPECT_TRUE(vmEnded);
    EXPECT_TRUE(childEnded);
}

TEST_F(LaunchJob, ChildStartedWithBreakawayOutlivesAKilledLauncher) {
    holdTheVm();
    folder.write(L"vm\\bin\\standin-breakaway.txt", "1");
    UniqueHandle process = startLauncher();
    ASSERT_TRUE(process);
    openTheVmAndItsChild();
    ASSERT_TRUE(vmProcess && childProcess);
    ASSERT_TRUE(TerminateProcess(process.get(), 9));
    const bool vmEnded = ends(vmProcess.get());
    if (!vmEnded && !jobsEndTheirProcessesOnClose())
        GTEST_SKIP() << "expected failure: this system's job objects do not end their processes "
                        "when the last handle closes (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)";
    EXPECT_TRUE(vmEnded);
    EXPECT_TRUE(keepsRunning(childProcess.get()));
}

TEST_F(LaunchJob, ChildOfAVmThatEndedByItselfKeepsRunningAndKeepsTheInformationFile) {
    folder.write(L"vm\\bin\\standin-exit.txt", "5");
    UniqueHandle process = startLauncher();
    ASSERT_TRUE(process);
    openTheVmAndItsChild();
    ASSERT_TRUE(childProcess);
    ASSERT_EQ(WaitForSingleObject(process.get(), scaledMilliseconds(20000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 5u);
    EXPECT_TRUE(keepsRunning(childProcess.get()));
    // The child, still in the VM's job, may be a new instance of the application: the file
    // it was handed stays.
    ASSERT_FALSE(infoFile.empty());
    EXPECT_NE(GetFileAttributesW(infoFile.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(infoFile);
}

TEST_F(LaunchJob, VmThatEndedWithNothingLeftRunningTakesItsInformationFileAlong) {
    DeleteFileW((folder / L"vm\\bin\\standin-child.txt").c_str());
    folder.write(L"vm\\bin\\standin-exit.txt", "6");
    UniqueHandle process = startLauncher();
    ASSERT_TRUE(process);
    ASSERT_EQ(WaitForSingleObject(process.get(), scaledMilliseconds(20000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 6u);
    infoFile = infoFileOf(awaitRecord(L"vm-record.txt"));
    ASSERT_FALSE(infoFile.empty());
    EXPECT_EQ(GetFileAttributesW(infoFile.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(infoFile);
}
