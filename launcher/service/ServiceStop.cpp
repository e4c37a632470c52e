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
        ended = stopVm && waitForVm();
    }
    trace(ended ? L"VM ended after the stop request"
                : L"VM ended by the service after the stop request");
    return endEverything(stopVm.get());
}

bool ServiceStop::waitForVm() {
    trace(L"waiting up to " + decimal(limitMs) + L" ms for the VM to end");
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        const ULONGLONG left = deadline - now;
        if (WaitForSingleObject(vm, left < kCheckpointMs ? static_cast<DWORD>(left)
                                                         : kCheckpointMs) == WAIT_OBJECT_0)
            return true;
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
