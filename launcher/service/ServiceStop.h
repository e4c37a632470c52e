// The stop of a service's VM, once the user or the system has asked for it: the stop VM (when
// there is a stop class) asks the application to end; the wait for the VM's own end lasts at
// most `limitMs`, with progress reported, and ends early when the stop VM ends with a non-zero
// code; then whatever still runs in the VM's job is ended.
#pragma once

#include <windows.h>

#include <functional>

#include "ServiceState.h"
#include "UniqueHandle.h"
#include "VmJob.h"

namespace tarrow {

struct ServiceStop {
    ServiceState& state;
    HANDLE vm;
    const VmJob& job;
    // Starts the stop VM in `job`; empty when there is no stop class or it cannot start, in
    // which case nothing asks the application to end and there is no wait.
    std::function<UniqueHandle()> startStopVm;
    DWORD limitMs;

    // Runs the stop. True once the VM and the stop VM have ended (their files may then go);
    // false when they still run after being ended.
    bool run();

  private:
    // Waits for the VM until `limitMs` has passed, or until the stop VM ends with a non-zero
    // code (it could not ask the application to end); true when the VM has ended.
    bool waitForVm(HANDLE stopVm);
    bool stopVmFailed(HANDLE stopVm);
    bool endEverything(HANDLE stopVm);
};

} // namespace tarrow
