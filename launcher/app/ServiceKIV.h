// ServiceKIV: the launcher run as a Windows service. The main thread serves the service
// control manager, the service thread reports the states, and a worker thread runs the launch
// and waits for the VM; a stop request ends the VM.
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

    // SERVICE_CONTROL_STOP and SERVICE_CONTROL_SHUTDOWN end the VM and report stopped.
    void control(DWORD code);

    // The service body on the service thread; never returns.
    [[noreturn]] void start();

  protected:
    void vmStarted(HANDLE process) override;

  private:
    explicit ServiceKIV(CommandLine commandLine);
    ~ServiceKIV() override;
    class KIVThread;

    void setStatus(DWORD state);
    void stopSequence();
    // Reports stopped with a service-specific error after a launch that failed.
    [[noreturn]] void failedLaunch();

    SERVICE_STATUS status_ = {};
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    // Set by the stop sequence: the VM has been ended and its handle must not be used again.
    std::atomic<bool> vmCleared_{false};
    std::atomic<DWORD> exitCode_{0};
    // Holds the VM and every process it starts; closing it ends them all.
    UniqueHandle vmJob_;
    std::unique_ptr<KIVThread> worker_;
};

// The service branch of the entry point: creates the ServiceKIV and dispatches; returns the
// process exit code.
DWORD runService(const CommandLine& commandLine);

} // namespace tarrow
