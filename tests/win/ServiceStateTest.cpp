// ServiceState in-process: the records it hands to the service control manager, the stop
// request the control handler passes on, and the time a stop may wait.
#include <windows.h>

#include <gtest/gtest.h>

#include <process.h>

#include <vector>

#include "ServiceState.h"
#include "ServiceStop.h"
#include "TestFolder.h"
#include "TestTime.h"
#include "VmProcess.h"

using tarrow::ServiceState;
using tarrow::UniqueHandle;

namespace {

int rank(DWORD state) {
    switch (state) {
    case SERVICE_START_PENDING:
        return 1;
    case SERVICE_RUNNING:
        return 2;
    case SERVICE_STOP_PENDING:
        return 3;
    default:
        return 4;
    }
}

struct Recorder {
    std::vector<SERVICE_STATUS> reports;
    ServiceState state{[this](const SERVICE_STATUS& s) { reports.push_back(s); },
                       SERVICE_ACCEPT_PRESHUTDOWN};
};

} // namespace

TEST(ServiceState, ReportsOnlyMoveForward) {
    Recorder r;
    r.state.startPending(5000);
    r.state.running();
    r.state.startPending(5000); // back: ignored
    r.state.stopPending(2000);
    r.state.stopPending(2000); // progress: checkpoint 2
    r.state.stopped(ERROR_SERVICE_SPECIFIC_ERROR, 7);
    r.state.stopPending(2000); // after stopped: ignored
    r.state.running();
    r.state.stopped(NO_ERROR);
    struct Expected {
        DWORD state, accepted, checkpoint, waitHint, win32, specific;
    };
    const Expected expected[] = {
        {SERVICE_START_PENDING, 0, 0, 5000, 0, 0},
        {SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN, 0, 0, 0, 0},
        {SERVICE_STOP_PENDING, 0, 1, 2000, 0, 0},
        {SERVICE_STOP_PENDING, 0, 2, 2000, 0, 0},
        {SERVICE_STOPPED, 0, 0, 0, ERROR_SERVICE_SPECIFIC_ERROR, 7},
    };
    ASSERT_EQ(r.reports.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const SERVICE_STATUS& s = r.reports[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(s.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(s.dwCurrentState, expected[i].state);
        EXPECT_EQ(s.dwControlsAccepted, expected[i].accepted);
        EXPECT_EQ(s.dwCheckPoint, expected[i].checkpoint);
        EXPECT_EQ(s.dwWaitHint, expected[i].waitHint);
        EXPECT_EQ(s.dwWin32ExitCode, expected[i].win32);
        EXPECT_EQ(s.dwServiceSpecificExitCode, expected[i].specific);
    }
}

TEST(ServiceState, TheFirstStopControlCountsOthersAreNotStops) {
    struct Case {
        std::vector<DWORD> controls;
        std::vector<bool> handled;
        DWORD recorded;
    };
    const Case cases[] = {
        {{SERVICE_CONTROL_INTERROGATE, SERVICE_CONTROL_PAUSE, 200}, {false, false, false}, 0},
        {{SERVICE_CONTROL_PRESHUTDOWN, SERVICE_CONTROL_STOP},
         {true, true},
         SERVICE_CONTROL_PRESHUTDOWN},
        {{SERVICE_CONTROL_SHUTDOWN}, {true}, SERVICE_CONTROL_SHUTDOWN},
        {{SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}, {true, true}, SERVICE_CONTROL_STOP},
    };
    for (const Case& c : cases) {
        Recorder r;
        for (size_t i = 0; i < c.controls.size(); ++i)
            EXPECT_EQ(r.state.requestStop(c.controls[i]), c.handled[i]) << c.controls[i];
        EXPECT_EQ(r.state.stopControl(), c.recorded);
        EXPECT_EQ(WaitForSingleObject(r.state.stopRequested(), 0),
                  c.recorded ? static_cast<DWORD>(WAIT_OBJECT_0)
                             : static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_TRUE(r.reports.empty()) << "the handler's side reports nothing";
    }
}

TEST(ServiceState, AStopWaitsNoLongerThanWindowsGivesAtAShutdown) {
    struct Case {
        DWORD control, stopTimeoutMs, systemMs, expected;
    };
    const Case cases[] = {
        {SERVICE_CONTROL_STOP, 30000, 5000, 30000},            // a user's stop: the stop timeout
        {SERVICE_CONTROL_PRESHUTDOWN, 600000, 180000, 179000}, // the pre-shutdown timeout
        {SERVICE_CONTROL_PRESHUTDOWN, 30000, 180000, 30000},
        {SERVICE_CONTROL_SHUTDOWN, 30000, 5000, 4000}, // WaitToKillServiceTimeout
        {SERVICE_CONTROL_SHUTDOWN, 30000, 1500, 1000}, // never less than a second
        {SERVICE_CONTROL_SHUTDOWN, 0, 5000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarrow::stopWaitLimitMs(c.control, c.stopTimeoutMs, c.systemMs), c.expected)
            << c.control << " " << c.stopTimeoutMs << " " << c.systemMs;
}

// A stop's progress reports racing the report of the end, from two threads: the record that
// reaches the manager never goes back and is never mixed from both writers.
TEST(ServiceState, ReportsFromTwoThreadsNeverGoBack) {
    for (int round = 0; round < 50; ++round) {
        Recorder r;
        r.state.running();
        struct Progress {
            ServiceState* state;
            static unsigned __stdcall run(void* self) {
                for (int i = 0; i < 200; ++i)
                    static_cast<Progress*>(self)->state->stopPending(2000);
                return 0;
            }
        } progress{&r.state};
        const HANDLE thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, &Progress::run, &progress, 0, nullptr));
        ASSERT_TRUE(thread);
        r.state.stopped(NO_ERROR);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        ASSERT_FALSE(r.reports.empty());
        for (size_t i = 1; i < r.reports.size(); ++i)
            ASSERT_LE(rank(r.reports[i - 1].dwCurrentState), rank(r.reports[i].dwCurrentState));
        const SERVICE_STATUS& last = r.reports.back();
        EXPECT_EQ(last.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
        EXPECT_EQ(last.dwCheckPoint, 0u);
        EXPECT_EQ(last.dwWaitHint, 0u);
        EXPECT_EQ(r.state.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    }
}

namespace {

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// A held stand-in VM that has started a child, in a job of its own, as a service runs it.
struct HeldVm {
    explicit HeldVm(const tarrow::test::TestFolder& folder) {
        const std::wstring vm = folder.copyStandin(L"standin_plain", L"vm\\java.exe");
        folder.write(L"vm\\standin-hold.txt", narrow(folder / L"release.txt"));
        folder.write(L"vm\\standin-exit.txt", "7");
        const std::wstring child = folder.copyStandin(L"standin_plain", L"child\\child.exe");
        folder.write(L"child\\standin-sleep-ms.txt", "600000");
        folder.write(L"child\\standin-record.txt", narrow(folder / L"child.txt"));
        folder.write(L"vm\\standin-child.txt", narrow(child));
        process = tarrow::startProcess(L"", L"\"" + vm + L"\"", false, &job);
        const ULONGLONG deadline = GetTickCount64() + tarrow::test::scaledMilliseconds(20000);
        std::string record;
        while ((record = tarrow::test::readFile(folder / L"child.txt")).find("end\n") ==
                   std::string::npos &&
               GetTickCount64() < deadline)
            Sleep(20);
        const size_t pid = record.find("pid=");
        if (pid != std::string::npos)
            child_ =
                UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(record.substr(pid + 4))));
    }
    ~HeldVm() { job.terminate(1); }

    tarrow::VmJob job = tarrow::VmJob::create();
    UniqueHandle process;
    UniqueHandle child_;
};

} // namespace

// The stop as the control handler starts it: the control recorded by ServiceState, then the
// stop of a held VM (with a child) with the time limit for that control and a stop VM that
// asks the application to end (it creates the release file), does nothing, ends at once with a
// non-zero code (no more wait), or cannot start.
TEST(ServiceStop, WaitsAsLongAsTheControlAllowsThenEndsTheWholeTree) {
    enum StopVm { Releases, DoesNothing, Fails, CannotStart };
    struct Case {
        DWORD control, systemMs;
        StopVm stopVm;
        DWORD vmCode, leastMs, mostMs;
    };
    const Case cases[] = {
        // At a system shutdown: what Windows gives (less a second), not the ten-minute timeout.
        {SERVICE_CONTROL_PRESHUTDOWN, 3000, DoesNothing, 0, 2000, 20000},
        {SERVICE_CONTROL_SHUTDOWN, 2500, DoesNothing, 0, 1500, 20000},
        {SERVICE_CONTROL_PRESHUTDOWN, 3000, Releases, 7, 0, 20000},
        // The stop VM cannot reach the application: the VM goes long before the timeout.
        {SERVICE_CONTROL_STOP, 0, Fails, 0, 0, 5000},
        // Nothing asks the application to end: no wait.
        {SERVICE_CONTROL_STOP, 0, CannotStart, 0, 0, 1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.control << " " << c.stopVm);
        tarrow::test::TestFolder folder;
        HeldVm vm(folder);
        ASSERT_TRUE(vm.process && vm.child_);
        Recorder r;
        r.state.running();
        ASSERT_TRUE(r.state.requestStop(c.control));
        const std::wstring stopProgram = folder.copyStandin(L"standin_plain", L"stop\\java.exe");
        const std::wstring release = c.stopVm == Releases ? L"release.txt" : L"elsewhere.txt";
        // Without the stop class on its command line the stand-in exits with this code.
        folder.write(L"stop\\standin-exit.txt", "3");
        const std::wstring stopClass =
            c.stopVm == Fails ? L" kiv.test.Missing " : L" kiv.test.StopApplication ";
        tarrow::ServiceStop stop{
            r.state, vm.process.get(), vm.job,
            [&]() -> UniqueHandle {
                if (c.stopVm == CannotStart)
                    return UniqueHandle();
                return tarrow::startProcess(
                    L"", L"\"" + stopProgram + L"\"" + stopClass + (folder / release), false,
                    &vm.job);
            },
            // A stop VM that releases the application needs the time to start, which emulation
            // stretches; the limits the other rows check are the point of those rows.
            tarrow::stopWaitLimitMs(
                r.state.stopControl(), 600000,
                c.stopVm == Releases ? tarrow::test::scaledMilliseconds(c.systemMs) : c.systemMs)};
        const ULONGLONG started = GetTickCount64();
        EXPECT_TRUE(stop.run());
        const ULONGLONG took = GetTickCount64() - started;
        EXPECT_GE(took, c.leastMs);
        EXPECT_LT(took, tarrow::test::scaledMilliseconds(c.mostMs));
        DWORD code = 12345;
        EXPECT_TRUE(GetExitCodeProcess(vm.process.get(), &code));
        EXPECT_EQ(code, c.vmCode);
        EXPECT_EQ(WaitForSingleObject(vm.child_.get(), tarrow::test::scaledMilliseconds(5000)),
                  static_cast<DWORD>(WAIT_OBJECT_0))
            << "the VM's child is ended with it";
        ASSERT_FALSE(r.reports.empty());
        EXPECT_EQ(r.reports.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
        // One more checkpoint for every second of waiting.
        EXPECT_GE(r.reports.back().dwCheckPoint, static_cast<DWORD>(c.leastMs / 1000));
    }
}
