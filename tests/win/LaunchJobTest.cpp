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

namespace {

// Files that a launch keeps for a process still in its job, and the sweep of later launches.
class KeptLaunchFiles : public LaunchJob {
  protected:
    void TearDown() override {
        LaunchJob::TearDown();
        if (!record.empty())
            DeleteFileW(record.c_str());
    }
    // Sets a file's last write back by `days`.
    static bool setBack(const std::wstring& path, int days) {
        UniqueHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER moment = {{now.dwLowDateTime, now.dwHighDateTime}};
        moment.QuadPart -= static_cast<ULONGLONG>(days) * 24 * 60 * 60 * 10000000;
        const FILETIME written = {moment.LowPart, moment.HighPart};
        return file && SetFileTime(file.get(), nullptr, nullptr, &written);
    }
    static bool exists(const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // Runs a launch to its end, one that sweeps (no stamp of an earlier sweep); its exit code
    // (99 when it did not end).
    DWORD launchToTheEnd() {
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        if (length > 0 && length < MAX_PATH)
            DeleteFileW((std::wstring(temp, length) + L"kiv-swept.stamp").c_str());
        UniqueHandle process = startLauncher();
        DWORD code = 99;
        if (process &&
            WaitForSingleObject(process.get(), scaledMilliseconds(20000)) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.get(), &code);
        return code;
    }

    std::wstring record;
};

} // namespace

TEST_F(KeptLaunchFiles, StayWhileTheProcessTheyAreKeptForRunsWhateverTheirAge) {
    folder.write(L"vm\\bin\\standin-exit.txt", "5");
    UniqueHandle first = startLauncher();
    ASSERT_TRUE(first);
    openTheVmAndItsChild();
    ASSERT_TRUE(childProcess);
    ASSERT_EQ(WaitForSingleObject(first.get(), scaledMilliseconds(20000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_TRUE(exists(infoFile)) << narrow(infoFile);
    record = infoFile.substr(0, infoFile.size() - 4) + L"-owner.tmp";
    EXPECT_TRUE(exists(record)) << narrow(record);
    // A VM that ran for three days: by their age alone, the next launch would sweep them.
    ASSERT_TRUE(setBack(infoFile, 3));
    if (exists(record)) {
        ASSERT_TRUE(setBack(record, 3));
    }
    // The later launches' VM starts nothing and ends at once.
    DeleteFileW((folder / L"vm\\bin\\standin-child.txt").c_str());
    folder.write(L"vm\\bin\\standin-exit.txt", "0");
    ASSERT_EQ(launchToTheEnd(), 0u);
    EXPECT_TRUE(exists(infoFile)) << "swept while the process it was kept for runs";
    EXPECT_TRUE(exists(record));
    folder.write(L"child-release.txt", "go");
    ASSERT_TRUE(ends(childProcess.get()));
    ASSERT_EQ(launchToTheEnd(), 0u);
    EXPECT_FALSE(exists(infoFile)) << "kept after the process it was kept for ended";
    EXPECT_FALSE(exists(record));
}

TEST_F(KeptLaunchFiles, AreSweptByAgeWhenTheirOwnerRecordCannotBeRead) {
    // Another user may make a launch file's record name a folder (or deny it, or hold it open
    // without sharing deletion): that keeps nothing.
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::wstring leftover = std::wstring(temp, length) + L"kivF00D.tmp";
    record = std::wstring(temp, length) + L"kivF00D-owner.tmp";
    {
        UniqueHandle file(CreateFileW(leftover.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        const char content[] = "kiv.control-key=1\r\n";
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.get(), content, sizeof content - 1, &written, nullptr));
    }
    ASSERT_TRUE(CreateDirectoryW(record.c_str(), nullptr));
    EXPECT_TRUE(setBack(leftover, 3));
    DeleteFileW((folder / L"vm\\bin\\standin-child.txt").c_str());
    folder.write(L"vm\\bin\\standin-exit.txt", "0");
    EXPECT_EQ(launchToTheEnd(), 0u);
    EXPECT_FALSE(exists(leftover)) << "kept by a folder in its owner record's place";
    RemoveDirectoryW(record.c_str());
    DeleteFileW(leftover.c_str());
}

namespace {

// A close of the launcher's console, with a VM that shares the console and with one that does
// not (a program of the Windows subsystem).
class ClosedConsole : public LaunchJob {
  protected:
    // Delivers CTRL_CLOSE_EVENT to the launcher as Windows does: a thread of the launcher's runs
    // kernelbase's CtrlRoutine with the event. Null when it cannot be sent.
    static UniqueHandle sendCloseEvent(HANDLE launcher) {
        const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
        if (!routine)
            return UniqueHandle();
        return UniqueHandle(CreateRemoteThread(
            launcher, nullptr, 0, routine,
            reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_CLOSE_EVENT)), 0, nullptr));
    }
    // Runs the VM `standin` until the test releases it, closes the console once the VM runs,
    // and ends the launcher as Windows does once the launcher's handlers have returned or its
    // time for the close is up. Whether the VM still runs then.
    bool vmOutlivesAClosedConsole(const wchar_t* standin) {
        folder.copyStandin(standin, L"vm\\bin\\java.exe");
        DeleteFileW((folder / L"vm\\bin\\standin-child.txt").c_str());
        holdTheVm();
        UniqueHandle process = startLauncher();
        EXPECT_TRUE(process);
        if (!process)
            return false;
        const std::string vmRecord = awaitRecord(L"vm-record.txt");
        vmId = recordValue(vmRecord, "pid");
        vmProcess.reset(
            OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, std::stoul("0" + vmId)));
        infoFile = infoFileOf(vmRecord);
        EXPECT_TRUE(vmProcess);
        UniqueHandle handler = sendCloseEvent(process.get());
        EXPECT_TRUE(handler) << "CTRL_CLOSE_EVENT not sent (error " << GetLastError() << ")";
        if (!vmProcess || !handler)
            return false;
        const HANDLE either[] = {handler.get(), process.get()};
        WaitForMultipleObjects(2, either, FALSE, scaledMilliseconds(5000));
        TerminateProcess(process.get(), STATUS_CONTROL_C_EXIT);
        EXPECT_TRUE(ends(process.get()));
        return keepsRunning(vmProcess.get());
    }
    std::string vmId;
};

} // namespace

TEST_F(ClosedConsole, WindowedVmLivesOn) {
    EXPECT_TRUE(vmOutlivesAClosedConsole(L"standin_windowed"));
    // The launcher has ended: the VM that lives on is the owner its files are kept for.
    ASSERT_FALSE(infoFile.empty());
    const std::wstring owner = infoFile.substr(0, infoFile.size() - 4) + L"-owner.tmp";
    EXPECT_EQ(tarrow::test::readFile(owner).rfind("kiv owner " + vmId + " ", 0), 0u)
        << tarrow::test::readFile(owner);
}

TEST_F(ClosedConsole, ConsoleVmEndsWithTheLaunch) {
    // It has the close event itself; the launcher holds on for it, and the job ends it with the
    // launcher.
    const bool outlives = vmOutlivesAClosedConsole(L"standin_plain");
    if (outlives && !jobsEndTheirProcessesOnClose())
        GTEST_SKIP() << "expected failure: this system's job objects do not end their processes "
                        "when the last handle closes (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)";
    EXPECT_FALSE(outlives);
}
