#include "ServiceStop.h"

#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

// While a stop waits for the application to end, the checkpoint grows this often.
constexpr DWORD kCheckpointMs = 1000;
// How long ended processes may take to be gone.
constexpr DWORD kEndedWaitMs = 30000;

} // namespace

bool ServiceStop::run() {
    state.stopPending(2 * kCheckpointMs);
    UniqueHandle stopVm;
    bool ended = WaitForSingleObject(vm, 0) == WAIT_OBJECT_0;
    if (!ended && startStopVm) {
        stopVm = startStopVm();
        ended = stopVm && waitForVm(stopVm.get());
    }
    trace(ended ? L"VM ended after the stop request"
                : L"VM ended by the service after the stop request");
    return endEverything(stopVm.get());
}

// Whether the stop VM, once ended, has failed to ask the application to end.
bool ServiceStop::stopVmFailed(HANDLE stopVm) {
    DWORD code = 0;
    if (!GetExitCodeProcess(stopVm, &code) || code == 0)
        return false;
    trace(L"stop VM ended with exit code " + decimal(code) + L" before the VM: no more wait");
    return true;
}

bool ServiceStop::waitForVm(HANDLE stopVm) {
    trace(L"waiting up to " + decimal(limitMs) + L" ms for the VM to end");
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    // The VM first: when both have ended, the VM's end counts.
    const HANDLE processes[] = {vm, stopVm};
    DWORD count = 2;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        const ULONGLONG left = deadline - now;
        const DWORD woken =
            WaitForMultipleObjects(count, processes, FALSE,
                                   left < kCheckpointMs ? static_cast<DWORD>(left) : kCheckpointMs);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_OBJECT_0 + 1) {
            if (stopVmFailed(stopVm))
                break;
            count = 1; // a stop VM that ended well leaves the application its time
            continue;
        }
        state.stopPending(2 * kCheckpointMs);
    }
    return WaitForSingleObject(vm, 0) == WAIT_OBJECT_0;
}

// The VM's whole tree goes, the stop VM with it, also when the VM ended by itself.
bool ServiceStop::endEverything(HANDLE stopVm) {
    TerminateProcess(vm, 0);
    if (stopVm)
        TerminateProcess(stopVm, 0);
    job.terminate(0);
    const HANDLE processes[] = {vm, stopVm};
    if (WaitForMultipleObjects(stopVm ? 2 : 1, processes, TRUE, kEndedWaitMs) == WAIT_OBJECT_0)
        return true;
    trace(L"VM still running after it was ended: its files stay");
    return false;
}

} // namespace tarrow
