// ServiceKIV: the launcher run as a Windows service. The main thread serves the service control
// manager, whose control handler only passes a stop on; the service thread runs the launch and
// owns everything after it: the VM, its job, its files and every status report (through
// ServiceState). A stop ends the VM, at once or, with a stop class set, once the application has
// had its chance to end by itself.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "KIV.h"
#include "ServiceState.h"
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

    // The process exit code once the dispatcher has returned: 0, or the code that the service
    // thread ends the process with.
    DWORD exitCode() const { return exitCode_; }

    // The control handler: stop, shutdown and pre-shutdown ask the service thread to stop (the
    // first one counts); false for controls the service does not handle.
    bool control(DWORD code);

    // The service body on the service thread; ends the process.
    [[noreturn]] void start();

  private:
    explicit ServiceKIV(CommandLine commandLine);
    ~ServiceKIV() override;

    // The launch; on failure reports stopped with a service-specific error and ends the process.
    void launch();
    // A stop asked for by the user or the system: waits for the application as the stop class
    // and the time Windows gives allow (ServiceStop), ends whatever still runs, removes the
    // files once everything has ended, reports stopped with 0.
    [[noreturn]] void stop();
    // The VM ended by itself: stopped with 0, or with the VM's code as a service-specific error.
    [[noreturn]] void vmEnded();
    // Starts the stop class in a VM like the application's, in the VM's job; null when it
    // cannot start.
    UniqueHandle startStopVm();
    // Removes the VM's and the stop VM's files; only once both have ended.
    void discardFiles();
    [[noreturn]] void finish(DWORD win32ExitCode, DWORD vmCode, DWORD processExitCode);
    // Reports stopped with a service-specific error after a launch that failed; the error line
    // of `message` goes to standard error and the event log.
    [[noreturn]] void failedLaunch(const std::wstring& message);

    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    std::unique_ptr<ServiceState> state_;
    // The time Windows gives the service at a pre-shutdown; 0 where it is not offered.
    DWORD preshutdownMs_ = 0;
    std::unique_ptr<JVM> stopVm_;
    std::atomic<DWORD> exitCode_{0};
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
