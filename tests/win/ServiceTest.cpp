// Service mode under the real service control manager: the test registers Tarrow.exe as a
// service in a fresh layout, starts and stops it, and watches the processes involved.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestFolder.h"
#include "UniqueHandle.h"
#include "TestTime.h"

using tarrow::UniqueHandle;
using tarrow::test::scaledMilliseconds;
using tarrow::test::TestFolder;

namespace {

using UniqueServiceHandle = tarrow::UniqueAny<SC_HANDLE, &::CloseServiceHandle>;

std::wstring variable(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

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
        // Forward slashes: a backslash before "u" would start an escape in the properties file.
        std::string vmPath = narrow(vm);
        std::replace(vmPath.begin(), vmPath.end(), '\\', '/');
        writeProperties("kiv.nl.current.vm=" + vmPath + "\r\n");
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
    // A path with forward slashes: a backslash before "u" would start an escape in the
    // properties file.
    static std::string slashed(const std::wstring& path) {
        std::string text = narrow(path);
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    }
    // The properties of a service whose stop runs the stand-in's stop class, with `more` lines.
    void writeStopClassProperties(const std::string& more) {
        writeProperties("kiv.nl.current.vm=" + slashed(vm) +
                        "\r\nkiv.nl.service.stop.main.class=kiv.test.StopApplication\r\n" + more);
    }
    // The VM process of the record, ended by the test's end if still running.
    UniqueHandle openTheVm() {
        const DWORD vmPid = std::stoul(recordValues(vmRecord, "pid").at(0));
        pidsToEnd = {vmPid};
        return UniqueHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, vmPid));
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
    EXPECT_EQ(query().dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));

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
    const SERVICE_STATUS_PROCESS status = waitForState(SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 7u);
    EXPECT_EQ(exitCodeOf(vmProcess.get()), 7u) << "the VM ended by itself";
    EXPECT_EQ(exitCodeOf(process.get()), 0u);
    // The stop VM ran the stop class with the application's options and class path.
    const auto lines = recordValues(tarrow::test::readFile(record), "commandline");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(" -Dservice=1 -Xrs -classpath \""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("\" kiv.test.StopApplication " + release), std::string::npos)
        << lines[1];
}

// A stop class that does nothing: the VM is ended once the timeout has passed.
TEST_F(ServiceMode, StopClassThatDoesNothingEndsTheVmAfterTheTimeout) {
    holdTheVm();
    writeStopClassProperties("kiv.nl.service.stop.timeout=2\r\n");
    UniqueHandle process = startServiceWithVm();
    ASSERT_TRUE(process);
    UniqueHandle vmProcess = openTheVm();
    ASSERT_TRUE(vmProcess);
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
