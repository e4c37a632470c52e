#include "ServiceKIV.h"

#include <cstdio>
#include <cwchar>

#include <algorithm>

#include "Console.h"
#include "ErrorLine.h"
#include "Errors.h"
#include "JVM.h"
#include "JavaOptions.h"
#include "Registry.h"
#include "ServiceApi.h"
#include "Settings.h"
#include "Text.h"
#include "Trace.h"
#include "VmProcess.h"

namespace tarrow {

namespace {

constexpr size_t kServiceNameChars = 256;
constexpr DWORD kStartWaitHintMs = 5000;
constexpr DWORD kLaunchFailedCode = 1;
// How long a stop waits for the ended VM to let go of its files.
constexpr DWORD kStopWaitMs = 5000;
// While a stop waits for the application to end, the checkpoint grows this often.
constexpr DWORD kCheckpointMs = 1000;
// How long services may take at a system shutdown when Windows does not say.
constexpr DWORD kDefaultShutdownMs = 5000;

// The time Windows gives services at a system shutdown, less a second for the last reports.
DWORD shutdownLimitMs() {
    DWORD limit = kDefaultShutdownMs;
    try {
        RegistryKey control(L"SYSTEM\\CurrentControlSet\\Control", KEY_READ);
        const std::wstring value = control.readString(L"WaitToKillServiceTimeout");
        if (!value.empty() && value.find_first_not_of(L"0123456789") == std::wstring::npos &&
            value.size() < 9)
            limit = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    } catch (const RegistryException&) {
        // Not set: the default applies.
    }
    return limit > 2000 ? limit - 1000 : 1000;
}

ServiceKIV* g_instance = nullptr;

void WINAPI serviceMain(DWORD, LPWSTR*) {
    ServiceKIV* service = ServiceKIV::existing();
    if (!service) {
        std::fputs("ServiceKIV has not been instantiated.\n", stderr);
        std::abort();
    }
    service->start();
}

void WINAPI controlHandler(DWORD code) {
    if (ServiceKIV* service = ServiceKIV::existing())
        service->control(code);
}

// A user logging off must not end the service process; other events are handled as usual.
BOOL WINAPI consoleHandler(DWORD event) {
    return event == CTRL_LOGOFF_EVENT ? TRUE : FALSE;
}

} // namespace

// Runs the launch without waiting, reports running, waits for the VM and signals completion.
class ServiceKIV::KIVThread : public Thread {
  public:
    explicit KIVThread(ServiceKIV& service)
        : service_(service), completed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    void run() override {
        try {
            service_.KIV::run(false);
        } catch (const TerminalError& error) {
            service_.failedLaunch(error.message());
        } catch (const std::exception& error) {
            service_.failedLaunch(unknownExceptionMessage(error.what()));
        }
        service_.setStatus(SERVICE_RUNNING);
        if (HANDLE process = service_.vmProcess())
            WaitForSingleObject(process, INFINITE);
        SetEvent(completed_.get());
    }

    HANDLE completed() const { return completed_.get(); }

  private:
    ServiceKIV& service_;
    UniqueHandle completed_;
};

// Runs the stop through the stop class, so that the control handler returns at once.
class ServiceKIV::StopThread : public Thread {
  public:
    StopThread(ServiceKIV& service, DWORD timeoutMs) : service_(service), timeoutMs_(timeoutMs) {}
    void run() override { service_.gracefulStop(timeoutMs_); }

  private:
    ServiceKIV& service_;
    DWORD timeoutMs_;
};

ServiceKIV::ServiceKIV(CommandLine commandLine) : KIV(std::move(commandLine)) {}

ServiceKIV::~ServiceKIV() = default;

ServiceKIV& ServiceKIV::instance(const CommandLine& commandLine) {
    if (!g_instance)
        g_instance = new ServiceKIV(commandLine); // lives until the process ends
    return *g_instance;
}

ServiceKIV* ServiceKIV::existing() {
    return g_instance;
}

BOOL ServiceKIV::dispatch() {
    wchar_t name[kServiceNameChars];
    std::wcsncpy(name, commandLine().serviceName().c_str(), kServiceNameChars - 1);
    name[kServiceNameChars - 1] = L'\0';
    const SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return ServiceApi::instance().startServiceCtrlDispatcher(table);
}

void ServiceKIV::setStatus(DWORD state) {
    status_.dwCurrentState = state;
    status_.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    ServiceApi::instance().setServiceStatus(statusHandle_, &status_);
}

void ServiceKIV::control(DWORD code) {
    if (code != SERVICE_CONTROL_STOP && code != SERVICE_CONTROL_SHUTDOWN)
        return;
    if (settings::serviceStopMainClass(settings()).empty()) {
        stopSequence();
        return;
    }
    if (stopRequested_.exchange(true))
        return; // a stop is already under way
    DWORD timeoutMs = settings::serviceStopTimeoutSeconds(settings()) * 1000;
    if (code == SERVICE_CONTROL_SHUTDOWN)
        timeoutMs = std::min(timeoutMs, shutdownLimitMs());
    status_.dwCheckPoint = 1;
    status_.dwWaitHint = 2 * kCheckpointMs;
    setStatus(SERVICE_STOP_PENDING);
    stopper_ = std::make_unique<StopThread>(*this, timeoutMs);
    if (!stopper_->start())
        stopSequence();
}

void ServiceKIV::stopSequence() {
    setStatus(SERVICE_STOP_PENDING);
    if (vmProcess() && !vmCleared_.exchange(true))
        endVm();
    reportStopped(0);
}

void ServiceKIV::endVm() {
    TerminateProcess(vmProcess(), 0);
    vmJob().terminate(0);
    WaitForSingleObject(vmProcess(), kStopWaitMs);
    discardVmFiles();
}

void ServiceKIV::reportStopped(DWORD vmCode) {
    status_.dwWin32ExitCode = vmCode == 0 ? 0 : ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = vmCode;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 0;
    setStatus(SERVICE_STOPPED);
}

void ServiceKIV::gracefulStop(DWORD timeoutMs) {
    if (!vmProcess()) {
        reportStopped(0);
        return;
    }
    // From here on the VM is this thread's: the service thread leaves it alone when it ends.
    // When the service thread took it first (the VM ended by itself), it reports the end.
    if (vmCleared_.exchange(true))
        return;
    UniqueHandle stopVm = startStopVm();
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    DWORD waited = WAIT_TIMEOUT;
    while ((waited = WaitForSingleObject(vmProcess(), kCheckpointMs)) == WAIT_TIMEOUT &&
           GetTickCount64() < deadline) {
        ++status_.dwCheckPoint;
        setStatus(SERVICE_STOP_PENDING);
    }
    DWORD code = 0;
    if (waited == WAIT_OBJECT_0) {
        code = waitForExitCode(vmProcess()).value_or(kLaunchFailedCode);
        trace(L"VM ended after the stop request with exit code " + decimal(code));
        discardVmFiles();
    } else {
        trace(L"VM did not end within " + decimal(static_cast<long long>(timeoutMs / 1000)) +
              L" s of the stop request: ended");
        endVm();
    }
    if (stopVm && WaitForSingleObject(stopVm.get(), 0) == WAIT_TIMEOUT)
        TerminateProcess(stopVm.get(), 0);
    if (stopVm_)
        stopVm_->discardLaunchFiles();
    reportStopped(code);
}

UniqueHandle ServiceKIV::startStopVm() {
    const JVM* vm = chosenVm();
    const JavaOptions* options = launchOptions();
    if (!vm || !options)
        return UniqueHandle();
    JavaOptions stop = *options;
    // The stop class takes the application's place; its arguments follow it as they stand.
    stop.mainClass = settings::serviceStopMainClass(settings());
    const std::wstring arguments = settings::serviceStopArguments(settings());
    if (!arguments.empty())
        stop.mainClass += L" " + arguments;
    stop.appArguments.clear();
    stop.launcherArguments.clear();
    stopVm_ = vm->clone();
    try {
        UniqueHandle process = stopVm_->launch(stop);
        trace(L"stop class " + settings::serviceStopMainClass(settings()) + L" started");
        return process;
    } catch (const TerminalError& error) {
        trace(L"stop class not started: " + error.message());
    } catch (const LauncherException&) {
        trace(L"stop class not started");
    }
    return UniqueHandle();
}

void ServiceKIV::failedLaunch(const std::wstring& message) {
    if (!message.empty()) {
        trace(L"launch failed: " + message);
        reportServiceError(commandLine().serviceName(), message, kLaunchFailedCode);
    }
    // Set first: once stopped is reported, the main thread may end the process.
    exitCode_ = kLaunchFailedCode;
    status_.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = kLaunchFailedCode;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 0;
    setStatus(SERVICE_STOPPED);
    ExitProcess(kLaunchFailedCode);
}

void ServiceKIV::start() {
    SetConsoleCtrlHandler(consoleHandler, TRUE);
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwControlsAccepted = 0;
    status_.dwWin32ExitCode = 0;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = kStartWaitHintMs;
    SetLastError(0);
    statusHandle_ = ServiceApi::instance().registerServiceCtrlHandler(
        commandLine().serviceName().c_str(), controlHandler);
    setStatus(SERVICE_START_PENDING);

    worker_ = std::make_unique<KIVThread>(*this);
    if (!worker_->start())
        failedLaunch();
    WaitForSingleObject(worker_->completed(), INFINITE);

    // Whoever clears the VM first (this thread once it ended, or a stop request) removes its
    // files; the other leaves them alone.
    if (!vmProcess() || vmCleared_.exchange(true))
        ExitThread(0);
    const std::optional<DWORD> code = waitForExitCode(vmProcess());
    trace(code ? L"VM exit code " + decimal(*code) : L"VM exit code unknown");
    discardVmFiles();
    if (!code)
        failedLaunch(); // an exit code that cannot be learned is no clean stop
    if (*code == 0)
        stopSequence();
    ExitProcess(*code);
}

void reportServiceError(const std::wstring& serviceName, const std::wstring& message,
                        DWORD exitCode) {
    std::wstring line = console().printError(message);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    ServiceApi::instance().reportError(serviceName,
                                       line + L" (exit code " + decimal(exitCode) + L")");
}

DWORD runService(const CommandLine& commandLine) {
    ServiceKIV& service = ServiceKIV::instance(commandLine);
    service.dispatch();
    return service.exitCode();
}

} // namespace tarrow
