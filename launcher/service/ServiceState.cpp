#include "ServiceState.h"

#include <algorithm>

namespace tarrow {

namespace {

// The order of the states; a report never goes to an earlier one.
int rank(DWORD state) {
    switch (state) {
    case SERVICE_START_PENDING:
        return 1;
    case SERVICE_RUNNING:
        return 2;
    case SERVICE_STOP_PENDING:
        return 3;
    case SERVICE_STOPPED:
        return 4;
    default:
        return 0;
    }
}

// Time kept back from what Windows gives at a shutdown, for the kill and the last reports.
constexpr DWORD kShutdownMarginMs = 1000;
constexpr DWORD kShortestShutdownWaitMs = 1000;

// Holds the lock for its scope.
class Locked {
  public:
    explicit Locked(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Locked() { LeaveCriticalSection(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CRITICAL_SECTION& lock_;
};

} // namespace

ServiceState::ServiceState(std::function<void(const SERVICE_STATUS&)> report, DWORD shutdownControl)
    : report_(std::move(report)), shutdownControl_(shutdownControl),
      stopRequested_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&lock_);
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
}

ServiceState::~ServiceState() {
    DeleteCriticalSection(&lock_);
}

void ServiceState::startPending(DWORD waitHintMs) {
    Locked locked(lock_);
    status_.dwWaitHint = waitHintMs;
    advance(SERVICE_START_PENDING);
}

void ServiceState::running() {
    Locked locked(lock_);
    status_.dwWaitHint = 0;
    advance(SERVICE_RUNNING);
}

void ServiceState::stopPending(DWORD waitHintMs) {
    Locked locked(lock_);
    if (status_.dwCurrentState == SERVICE_STOPPED)
        return;
    status_.dwCheckPoint =
        status_.dwCurrentState == SERVICE_STOP_PENDING ? status_.dwCheckPoint + 1 : 1;
    status_.dwWaitHint = waitHintMs;
    advance(SERVICE_STOP_PENDING);
}

void ServiceState::stopped(DWORD win32ExitCode, DWORD specificExitCode) {
    Locked locked(lock_);
    if (status_.dwCurrentState == SERVICE_STOPPED)
        return;
    status_.dwWin32ExitCode = win32ExitCode;
    status_.dwServiceSpecificExitCode = specificExitCode;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 0;
    advance(SERVICE_STOPPED);
}

void ServiceState::advance(DWORD state) {
    const bool repeat = state == SERVICE_STOP_PENDING && status_.dwCurrentState == state;
    if (reported_ && !repeat && rank(state) <= rank(status_.dwCurrentState))
        return;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | shutdownControl_ : 0;
    reported_ = true;
    report_(status_);
}

SERVICE_STATUS ServiceState::status() const {
    Locked locked(lock_);
    return status_;
}

bool ServiceState::requestStop(DWORD control) {
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN &&
        control != SERVICE_CONTROL_PRESHUTDOWN)
        return false;
    DWORD none = 0;
    if (stopControl_.compare_exchange_strong(none, control))
        SetEvent(stopRequested_.get());
    return true;
}

DWORD stopWaitLimitMs(DWORD control, DWORD stopTimeoutMs, DWORD systemLimitMs) {
    if (control != SERVICE_CONTROL_SHUTDOWN && control != SERVICE_CONTROL_PRESHUTDOWN)
        return stopTimeoutMs;
    const DWORD system = systemLimitMs > kShortestShutdownWaitMs + kShutdownMarginMs
                             ? systemLimitMs - kShutdownMarginMs
                             : kShortestShutdownWaitMs;
    return std::min(stopTimeoutMs, system);
}

} // namespace tarrow
