// ServiceState: the one owner of what the service control manager is told about the service,
// and of the stop that the control handler passes on. Every report goes through it, under its
// lock, so that reports from different threads never interleave, and the state only moves
// forward: start pending, running, stop pending, stopped; once stopped, nothing changes.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "UniqueHandle.h"

namespace tarrow {

class ServiceState {
  public:
    // `report` hands each new record to the service control manager; `shutdownControl` is the
    // control accepted at a system shutdown while running, besides stop
    // (SERVICE_ACCEPT_PRESHUTDOWN or SERVICE_ACCEPT_SHUTDOWN).
    ServiceState(std::function<void(const SERVICE_STATUS&)> report, DWORD shutdownControl);
    ~ServiceState();
    ServiceState(const ServiceState&) = delete;
    ServiceState& operator=(const ServiceState&) = delete;

    void startPending(DWORD waitHintMs);
    // Accepts stop and the shutdown control.
    void running();
    // The first report of a stop has checkpoint 1; each later one adds one.
    void stopPending(DWORD waitHintMs);
    // `win32ExitCode` ERROR_SERVICE_SPECIFIC_ERROR carries `specificExitCode`.
    void stopped(DWORD win32ExitCode, DWORD specificExitCode = 0);
    // The record last reported.
    SERVICE_STATUS status() const;

    // The control handler's side, safe on any thread and without the lock: records the first
    // stop control (stop, shutdown or pre-shutdown) and signals stopRequested(). False for any
    // other control.
    bool requestStop(DWORD control);
    // Signalled once a stop has been asked for.
    HANDLE stopRequested() const { return stopRequested_.get(); }
    // The control that asked for the stop; 0 before.
    DWORD stopControl() const { return stopControl_.load(); }

  private:
    // Moves to `state` and reports, unless that would go back; under the lock.
    void advance(DWORD state);

    mutable CRITICAL_SECTION lock_;
    std::function<void(const SERVICE_STATUS&)> report_;
    const DWORD shutdownControl_;
    SERVICE_STATUS status_ = {};
    bool reported_ = false;
    std::atomic<DWORD> stopControl_{0};
    UniqueHandle stopRequested_;
};

// How long a stop asked for by `control` waits for the application to end by itself: the stop
// timeout; at a system shutdown (pre-shutdown or shutdown control) at most `systemLimitMs`, the
// time Windows gives the service, less a second for the kill and the last reports.
DWORD stopWaitLimitMs(DWORD control, DWORD stopTimeoutMs, DWORD systemLimitMs);

} // namespace tarrow
