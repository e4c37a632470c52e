// Service mode under the real service control manager: the test registers Tarrow.exe as a
// service in a fresh layout, starts and stops it, and watches the processes involved.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LauncherTestSupport.h"
#include "TestFolder.h"
#include "UniqueHandle.h"
#include "TestTime.h"

using tarrow::UniqueHandle;
using tarrow::test::narrow;
using tarrow::test::scaledMilliseconds;
using tarrow::test::slashed;
using tarrow::test::TestFolder;
using tarrow::test::UniqueServiceHandle;
using tarrow::test::variable;

namespace {

// Values of "key=" lines of a stand-in record, in order.
std::vector<std::string> recordValues(const std::string& record, const std::string& key) {
    std::vector<std::string> values;
    size_t at = 0;
    while (
        (at = record.find("\n" + key + "=", at)) != std::string::npos ||
        (values.empty() && record.compare(0, key.size() + 1, key + "=") == 0 && (at = 0, true))) {
        const size_t start = record.find('=', at) + 1;
        const size_t end = record.find('\n', start);
        values.push_back(record.substr(start, end - start));
        at = end;
        if (at == std::string::npos)
            break;
    }
    return values;
}

// A command line split as a program's C runtime splits it (ASCII text).
std::vector<std::string> arguments(const std::string& line) {
    int count = 0;
    const std::wstring wide(line.begin(), line.end());
    LPWSTR* argv = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> result;
    for (int i = 0; argv && i < count; ++i)
        result.push_back(narrow(argv[i]));
    LocalFree(argv);
    return result;
}

class ServiceMode : public ::testing::Test {
  protected:
    void SetUp() override {
        name = L"TarrowTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter);
        launcher = folder / L"app\\Tarrow.exe";
        folder.makeFolder(L"app");
        ASSERT_TRUE(CopyFileW(variable(L"KIV_TARROW_EXE").c_str(), launcher.c_str(), FALSE));
        vm = folder.copyStandin(L"standin_plain", L"vm\\bin\\java.exe");
        child = folder.copyStandin(L"standin_plain", L"child\\child.exe");
        record = folder / L"vm-record.txt";
        folder.write(L"vm\\bin\\standin-record.txt", narrow(record));
        folder.write(L"child\\standin-record.txt", narrow(folder / L"child-record.txt"));
        folder.write(L"child\\standin-sleep-ms.txt", "600000");
        writeProperties("kiv.nl.current.vm=" + slashed(vm) + "\r\n");
        manager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(manager);
        const std::wstring binary = L"\"" + launcher + L"\" -mvkivservice " + name;
        service.reset(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                     SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr));
        ASSERT_TRUE(service) << GetLastError();
    }
    void TearDown() override {
        releaseTheVm();
        if (service) {
            SERVICE_STATUS status;
            ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
            DeleteService(service.get());
        }
        for (DWORD pid : pidsToEnd) {
            UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
            if (process)
                TerminateProcess(process.get(), 1);
        }
    }
    void writeProperties(const std::string& vmLine) {
        folder.write(L"app\\Tarrow.kiv", "kiv.nl.java.launcher.main.class=com.example.Main\r\n"
                                         "kiv.class.path=lib\\app.jar\r\n"
                                         "kiv.nl.java.option.additional=-Dservice=1\r\n" +
                                             vmLine);
    }
    SERVICE_STATUS_PROCESS query() {
        SERVICE_STATUS_PROCESS status = {};
        DWORD needed = 0;
        QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
        return status;
    }
    // Polls until the status satisfies `done`; returns the last status seen.
    template <typename Done> SERVICE_STATUS_PROCESS waitForStatus(Done done) {
        const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(20000);
        SERVICE_STATUS_PROCESS status = query();
        while (!done(status) && GetTickCount64() < deadline) {
            Sleep(20);
            status = query();
        }
        return status;
    }
    SERVICE_STATUS_PROCESS waitForState(DWORD state) {
        return waitForStatus(
            [state](const SERVICE_STATUS_PROCESS& s) { return s.dwCurrentState == state; });
    }
    // Registers the service's program with `arguments` after the service switch: arguments the
    // launcher passes on to the application.
    bool setApplicationArguments(const std::wstring& arguments) {
        const std::wstring binary =
            L"\"" + launcher + L"\" -mvkivservice " + name + L" " + arguments;
        return ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                    SERVICE_NO_CHANGE, binary.c_str(), nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr) != FALSE;
    }
    // The stand-in VM waits for this file before it ends, so that the service process is
    // known to be alive until the test has opened it.
    void holdTheVm() { folder.write(L"vm\\bin\\standin-hold.txt", narrow(releaseFile())); }
    void releaseTheVm() { folder.write(L"vm-release.txt", "go"); }
    std::wstring releaseFile() { return folder / L"vm-release.txt"; }
    // Starts the service and opens its process once the VM runs under it (the VM must be held
    // or long-running, so that the service process cannot have ended yet).
    UniqueHandle startServiceWithVm() {
        EXPECT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
        vmRecord = waitForRecord(record);
        const SERVICE_STATUS_PROCESS status = waitForStatus([](const SERVICE_STATUS_PROCESS& s) {
            return s.dwCurrentState == SERVICE_RUNNING && s.dwProcessId != 0;
        });
        return UniqueHandle(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, status.dwProcessId));
    }
    // The properties of a service whose stop runs the stand-in's stop class, with `more` lines.
    void writeStopClassProperties(const std::string& more) {
        writeProperties("kiv.nl.current.vm=" + slashed(vm) +
                        "\r\nkiv.nl.service.stop.main.class=kiv.test.StopApplication\r\n" + more);
    }
    // The VM process of the record, ended by the test's end if still running.
    UniqueHandle openTheVm() {
        const DWORD vmPid = std::stoul(recordValues(vmRecord, "pid").at(0));
        pidsToEnd.push_back(vmPid);
        return UniqueHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, vmPid));
    }
    // The child that the VM started, once it runs.
    UniqueHandle openTheChild() {
        const std::string childRecord = waitForRecord(folder / L"child-record.txt");
        const DWORD pid = std::stoul(recordValues(childRecord, "pid").at(0));
        pidsToEnd.push_back(pid);
        return UniqueHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    }
    // Polls the service's state until it is stopped (or the time limit), keeping each change.
    std::vector<DWORD> statesUntilStopped() {
        std::vector<DWORD> states;
        const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(20000);
        do {
            const DWORD state = query().dwCurrentState;
            if (states.empty() || states.back() != state)
                states.push_back(state);
        } while (states.back() != SERVICE_STOPPED && GetTickCount64() < deadline);
        return states;
    }
    // Asks for a stop; Wine's service manager can refuse a control that arrives right after the
    // running report (ERROR_SERVICE_NOT_ACTIVE, rarely seen natively, often under emulation), so
    // a refusal is retried for up to twenty seconds of native time, as long as a loaded machine may
    // take.
    bool requestStop() {
        SERVICE_STATUS status;
        const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(20000);
        do {
            if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
                return true;
            lastRefusal = GetLastError();
            Sleep(50);
        } while (GetTickCount64() < deadline);
        return false;
    }
    DWORD lastRefusal = 0;
    DWORD exitCodeOf(HANDLE process) {
        EXPECT_EQ(WaitForSingleObject(process, scaledMilliseconds(20000)), WAIT_OBJECT_0);
        DWORD code = 12345;
        GetExitCodeProcess(process, &code);
        return code;
    }
    std::string waitForRecord(const std::wstring& file) {
        const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(20000);
        std::string text;
        while ((text = tarrow::test::readFile(file)).find("end\n") == std::string::npos &&
               GetTickCount64() < deadline)
            Sleep(20);
        return text;
    }

    static inline int counter = 0;
    TestFolder folder;
    std::wstring name, launcher, vm, child, record;
    std::string vmRecord;
    UniqueServiceHandle manager, service;
    std::vector<DWORD> pidsToEnd;
};

} // namespace

TEST_F(ServiceMode, StopEndsTheVmAndEverythingItStarted) {
    folder.write(L"vm\\bin\\standin-sleep-ms.txt", "600000");
    folder.write(L"vm\\bin\\standin-child.txt", narrow(child));
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    // Stop, and the control that Windows sends at a system shutdown: pre-shutdown where it
    // offers it (Wine's manager does), else shutdown.
    const DWORD accepted = query().dwControlsAccepted;
    EXPECT_TRUE(accepted == (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN) ||
                accepted == (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN))
        << accepted;

    const std::string childRecord = waitForRecord(folder / L"child-record.txt");
    const auto lines = recordValues(vmRecord, "commandline");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\" -Dservice=1 -Xrs -classpath \""), std::string::npos) << lines[0];
    const DWORD vmPid = std::stoul(recordValues(vmRecord, "pid").at(0));
    const DWORD childPid = std::stoul(recordValues(childRecord, "pid").at(0));
    pidsToEnd = {vmPid, childPid};
    UniqueHandle vmProcess(OpenProcess(SYNCHRONIZE, FALSE, vmPid));
    UniqueHandle childProcess(OpenProcess(SYNCHRONIZE, FALSE, childPid));
    ASSERT_TRUE(vmProcess && childProcess);
    EXPECT_EQ(WaitForSingleObject(vmProcess.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(childProcess.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    EXPECT_TRUE(requestStop()) << lastRefusal;
    EXPECT_EQ(waitForState(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    EXPECT_EQ(WaitForSingleObject(vmProcess.get(), scaledMilliseconds(20000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(childProcess.get(), scaledMilliseconds(20000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
}

// A stop class that lets the application end by itself: the stand-in stop class creates the
// release file the held VM waits for; the VM then ends with 7, which the manager learns.
TEST_F(ServiceMode, StopClassLetsTheApplicationEndByItself) {
    ASSERT_TRUE(setApplicationArguments(L"first \"second argument\"")) << GetLastError();
    holdTheVm();
    folder.write(L"vm\\bin\\standin-exit.txt", "7");
    const std::string release = slashed(releaseFile());
    writeStopClassProperties("kiv.nl.service.stop.arguments=" + release +
                             "\r\nkiv.nl.service.stop.timeout=600\r\n");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    UniqueHandle vmProcess = openTheVm();
    ASSERT_TRUE(vmProcess);
    ASSERT_TRUE(requestStop());
    // A stop that was asked for never counts as a failure, whatever the VM's code.
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(exitCodeOf(vmProcess.get()), 7u) << "the VM ended by itself";
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    // The stop VM runs the stop class and its arguments in the application's place: the same
    // program, options and class path, without the launcher's files and the application's
    // arguments, which the application's VM did get.
    const auto lines = recordValues(tarrow::test::readFile(record), "commandline");
    ASSERT_EQ(lines.size(), 2u);
    std::vector<std::string> expected = arguments(lines[0]);
    const auto mainClass = std::find(expected.begin(), expected.end(), "com.example.Main");
    ASSERT_EQ(expected.end() - mainClass, 5) << lines[0];
    EXPECT_EQ(std::vector<std::string>(expected.end() - 2, expected.end()),
              (std::vector<std::string>{"first", "second argument"}))
        << lines[0];
    expected.erase(mainClass, expected.end());
    expected.push_back("kiv.test.StopApplication");
    expected.push_back(release);
    EXPECT_EQ(arguments(lines[1]), expected) << lines[1];
}

// A stop class that does nothing: the VM is ended once the timeout has passed.
TEST_F(ServiceMode, StopClassThatDoesNothingEndsTheVmAfterTheTimeout) {
    holdTheVm();
    folder.write(L"vm\\bin\\standin-child.txt", narrow(child));
    writeStopClassProperties("kiv.nl.service.stop.timeout=2\r\n");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    UniqueHandle vmProcess = openTheVm();
    ASSERT_TRUE(vmProcess);
    UniqueHandle childProcess = openTheChild();
    ASSERT_TRUE(childProcess);
    const ULONGLONG asked = GetTickCount64();
    ASSERT_TRUE(requestStop());
    // Still waiting for the application, with a growing checkpoint.
    const SERVICE_STATUS_PROCESS pending =
        waitForStatus([](const SERVICE_STATUS_PROCESS& s) { return s.dwCheckPoint >= 2; });
    EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(WaitForSingleObject(vmProcess.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(exitCodeOf(vmProcess.get()), 0u) << "ended by the service";
    EXPECT_GE(GetTickCount64() - asked, 2000u);
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    EXPECT_EQ(WaitForSingleObject(childProcess.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the VM's child is ended with it";
}

TEST_F(ServiceMode, VmEndingWithZeroStopsTheService) {
    holdTheVm();
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    releaseTheVm();
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
}

TEST_F(ServiceMode, VmEndingWithThreeEndsTheServiceProcessWithThree) {
    holdTheVm();
    folder.write(L"vm\\bin\\standin-exit.txt", "3");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    releaseTheVm();
    EXPECT_EQ(exitCodeOf(process.get()), 3u);
    // A failure that the service's recovery actions see.
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 3u);
}

// The service process may be gone before the test could open it: what the manager reports
// after it tells the outcome.
TEST_F(ServiceMode, LaunchWithoutAVmEndsStoppedNotStartPending) {
    writeProperties("kiv.nl.valid.vm.list=MSJ\r\n");
    ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
    const SERVICE_STATUS_PROCESS status = waitForStatus([](const SERVICE_STATUS_PROCESS& s) {
        return s.dwCurrentState == SERVICE_STOPPED && s.dwProcessId == 0;
    });
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 1u);
    EXPECT_EQ(tarrow::test::readFile(record), "");
}

TEST_F(ServiceMode, StartedFromAConsoleTheSwitchDoesNothing) {
    std::wstring line = L"\"" + launcher + L"\" -mvkivservice " + name;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // In service mode the trace goes to a file only.
    const std::wstring trace = folder / L"trace.txt";
    SetEnvironmentVariableW(L"KIV_TRACE", trace.c_str());
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &info);
    SetEnvironmentVariableW(L"KIV_TRACE", nullptr);
    ASSERT_TRUE(started);
    UniqueHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    EXPECT_EQ(tarrow::test::readFile(record), "");
    const std::string text = tarrow::test::readFile(trace);
    EXPECT_NE(text.find(" launcher \""), std::string::npos) << text;
    EXPECT_NE(text.find(" -mvkivservice "), std::string::npos) << text;
}

// A stop racing the VM's own end (the held VM is released as the stop is asked for): whichever
// comes first, the states that the manager shows never go back, and the service ends stopped.
TEST_F(ServiceMode, StopRacingTheVmsOwnEndNeverGoesBack) {
    for (const char* exitCode : {"0", "5"}) {
        SCOPED_TRACE(exitCode);
        holdTheVm();
        folder.write(L"vm\\bin\\standin-exit.txt", exitCode);
        DeleteFileW(releaseFile().c_str());
        DeleteFileW(record.c_str());
        UniqueHandle process = startServiceWithVm();
        ASSERT_TRUE(process);
        releaseTheVm();
        SERVICE_STATUS status;
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status); // may come too late
        const std::vector<DWORD> states = statesUntilStopped();
        const auto rank = [](DWORD state) {
            return state == SERVICE_RUNNING ? 1 : state == SERVICE_STOP_PENDING ? 2 : 3;
        };
        for (size_t i = 1; i < states.size(); ++i)
            EXPECT_LT(rank(states[i - 1]), rank(states[i])) << "state " << i;
        EXPECT_EQ(states.back(), static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(WaitForSingleObject(process.get(), scaledMilliseconds(20000)),
                  static_cast<DWORD>(WAIT_OBJECT_0));
    }
}

// A stop VM that cannot start (its program was moved away after the VM started) asks nothing of
// the application: the VM is ended at once, not after the stop timeout.
TEST_F(ServiceMode, StopVmThatCannotStartEndsTheVmAtOnce) {
    holdTheVm();
    writeStopClassProperties("kiv.nl.service.stop.timeout=600\r\n");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    UniqueHandle vmProcess = openTheVm();
    ASSERT_TRUE(vmProcess);
    ASSERT_TRUE(MoveFileW(vm.c_str(), (folder / L"vm\\bin\\moved.exe").c_str())) << GetLastError();
    const ULONGLONG asked = GetTickCount64();
    ASSERT_TRUE(requestStop());
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(WaitForSingleObject(vmProcess.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_LT(GetTickCount64() - asked, scaledMilliseconds(20000)) << "not the 600 s timeout";
    EXPECT_EQ(recordValues(tarrow::test::readFile(record), "commandline").size(), 1u)
        << "no stop VM ran";
}

// The files that a launch writes for its VM (here the argument file of a long class path for a
// Java 9 VM) are gone once the service has stopped: after a stop that ended the VM, and after
// a VM that could not start (its working directory is missing).
TEST_F(ServiceMode, FilesAreRemovedOnceTheVmHasEnded) {
    vm = folder.copyStandin(L"standin_sun_9", L"vm9\\bin\\java.exe");
    folder.write(L"vm9\\bin\\standin-record.txt", narrow(record));
    folder.write(L"vm9\\bin\\standin-sleep-ms.txt", "600000");
    // A marker in every entry, to find this launch's argument file in the temporary folder.
    const std::string marker =
        "svcfiles" + std::to_string(GetTickCount64()) + "_" + std::to_string(GetCurrentProcessId());
    std::string classPath;
    for (int i = 0; i < 3000; ++i)
        classPath += "lib/" + marker + "_" + std::to_string(i) + ".jar;";
    const auto argumentFilesLeft = [&marker]() {
        wchar_t temp[MAX_PATH];
        const std::wstring folderPath(temp, GetTempPathW(MAX_PATH, temp));
        int found = 0;
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW((folderPath + L"kiv*.tmp").c_str(), &data);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data))
            found +=
                tarrow::test::readFile(folderPath + data.cFileName).find(marker) !=
                    std::string::npos &&
                tarrow::test::readFile(folderPath + data.cFileName).rfind("-classpath", 0) == 0;
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        return found;
    };
    const std::string common = "kiv.nl.java.launcher.main.class=com.example.Main\r\n"
                               "kiv.class.path=" +
                               classPath + "\r\nkiv.nl.current.vm=" + slashed(vm) + "\r\n";
    // The VM runs and is stopped.
    folder.write(L"app\\Tarrow.kiv", common);
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    ASSERT_EQ(recordValues(vmRecord, "argfile").size(), 1u) << "the class path went through a file";
    EXPECT_EQ(argumentFilesLeft(), 1);
    UniqueHandle vmProcess = openTheVm();
    ASSERT_TRUE(requestStop());
    EXPECT_EQ(waitForState(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    EXPECT_EQ(argumentFilesLeft(), 0);

    // The VM cannot start.
    folder.write(L"app\\Tarrow.kiv", common + "kiv.user.dir=C:/no/such/folder\r\n");
    ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
    const SERVICE_STATUS_PROCESS failed = waitForStatus([](const SERVICE_STATUS_PROCESS& s) {
        return s.dwCurrentState == SERVICE_STOPPED && s.dwProcessId == 0;
    });
    EXPECT_EQ(failed.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(failed.dwServiceSpecificExitCode, 1u);
    EXPECT_EQ(argumentFilesLeft(), 0);
}

// The system's own shutdown, end to end: Wine ends its session with wineboot. The stop class
// releases the held VM, so the stop runs only if the manager sends the shutdown control. Wine's
// manager sends none (measured with Wine 8.0); the stop that the control starts is tested
// in-process (ServiceStop). A control that the manager sent before wineboot ended has reached the
// service's handler once a later control has been answered (a service takes its controls one at
// a time), so the case decides at once after an interrogation, instead of waiting for a control
// that does not come.
TEST_F(ServiceMode, SystemShutdownRunsTheGracefulStop) {
    holdTheVm();
    writeStopClassProperties("kiv.nl.service.stop.arguments=" + slashed(releaseFile()) +
                             "\r\nkiv.nl.service.stop.timeout=600\r\n");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    std::wstring line = L"wineboot.exe --end-session --shutdown";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        GTEST_SKIP() << "no wineboot: not under Wine";
    UniqueHandle wineboot(info.hProcess), thread(info.hThread);
    ASSERT_EQ(WaitForSingleObject(wineboot.get(), scaledMilliseconds(30000)),
              static_cast<DWORD>(WAIT_OBJECT_0));
    SERVICE_STATUS interrogated = {};
    ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &interrogated);
    // The handler only asks the service thread to stop; that thread reports the stop at once.
    const ULONGLONG deadline = GetTickCount64() + scaledMilliseconds(1000);
    while (query().dwCurrentState == SERVICE_RUNNING && GetTickCount64() < deadline)
        Sleep(20);
    if (query().dwCurrentState == SERVICE_RUNNING)
        GTEST_SKIP() << "expected failure: Wine's service manager sends neither "
                        "SERVICE_CONTROL_PRESHUTDOWN nor SERVICE_CONTROL_SHUTDOWN when the "
                        "session ends (wineboot --end-session --shutdown); at wineboot --kill it "
                        "ends service processes without a control";
    EXPECT_EQ(waitForState(SERVICE_STOPPED).dwWin32ExitCode, 0u);
    EXPECT_EQ(recordValues(tarrow::test::readFile(record), "commandline").size(), 2u);
}
