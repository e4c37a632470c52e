// ServiceKIV: the launcher run as a Windows service. The main thread serves the service
// control manager, the service thread reports the states, and a worker thread runs the launch
// and waits for the VM; a stop request ends the VM, at once or, with a stop class set, once the
// application has had its chance to end by itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "KIV.h"
#include "Thread.h"
#include "UniqueHandle.h"

namespace tarrow {

class ServiceKIV : public KIV {
  public:
    // The process's ServiceKIV, constructed from `commandLine` on the first call (which may
    // raise what the KIV construction raises); later calls ignore the argument.
    static ServiceKIV& instance(const CommandLine& commandLine);
    // The instance if it has been created, else null.
    static ServiceKIV* existing();

    bool isService() const override { return true; }

    // Hands the calling thread to the service control manager; returns when the service has
    // stopped, or at once (0) when the program was not started by it.
    BOOL dispatch();

    // The process exit code once the dispatcher has returned: 0, or the code of a launch that
    // failed on the worker thread.
    DWORD exitCode() const { return exitCode_; }

    // SERVICE_CONTROL_STOP and SERVICE_CONTROL_SHUTDOWN end the VM and report stopped. With a
    // stop class set, a thread of its own runs the stop class in a second VM and waits for the
    // application's VM to end (at most the stop timeout, capped at a system shutdown by the time
    // Windows gives services) before it ends the VM; the handler returns at once.
    void control(DWORD code);

    // The service body on the service thread; never returns.
    [[noreturn]] void start();

  private:
    explicit ServiceKIV(CommandLine commandLine);
    ~ServiceKIV() override;
    class KIVThread;

    class StopThread;

    void setStatus(DWORD state);
    void stopSequence();
    // The stop through the stop class, on the stop thread.
    void gracefulStop(DWORD timeoutMs);
    // Starts the stop class in a VM like the application's; null when it cannot start.
    UniqueHandle startStopVm();
    // Ends the VM and every process it started, and removes its files.
    void endVm();
    // Reports stopped: exit code 0 for a VM that ended with 0, else the VM's code as a
    // service-specific error.
    void reportStopped(DWORD vmCode);
    // Reports stopped with a service-specific error after a launch that failed; the error line
    // of `message`, when there is one, goes to standard error and the event log.
    [[noreturn]] void failedLaunch(const std::wstring& message = std::wstring());

    SERVICE_STATUS status_ = {};
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    // Set by the stop sequence: the VM has been ended and its handle must not be used again.
    std::atomic<bool> vmCleared_{false};
    std::atomic<DWORD> exitCode_{0};
    std::unique_ptr<KIVThread> worker_;
    std::atomic<bool> stopRequested_{false};
    std::unique_ptr<StopThread> stopper_;
    std::unique_ptr<JVM> stopVm_;
};

// The service branch of the entry point: creates the ServiceKIV and dispatches; returns the
// process exit code.
DWORD runService(const CommandLine& commandLine);

// An error of a service, where nobody sees standard error: the launcher's error line for
// `message` on standard error, and the same line with the exit code as one error entry in the
// Application event log, with the service's name as its source.
void reportServiceError(const std::wstring& serviceName, const std::wstring& message,
                        DWORD exitCode);

} // namespace tarrow
