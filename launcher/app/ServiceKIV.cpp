#include "ServiceKIV.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "Console.h"
#include "ErrorLine.h"
#include "Errors.h"
#include "JVM.h"
#include "JavaOptions.h"
#include "Registry.h"
#include "ServiceApi.h"
#include "ServiceStop.h"
#include "Settings.h"
#include "Text.h"
#include "Trace.h"
#include "VmProcess.h"

namespace tarrow {

namespace {

constexpr size_t kServiceNameChars = 256;
constexpr DWORD kStartWaitHintMs = 5000;
constexpr DWORD kLaunchFailedCode = 1;
// How long services may take at a system shutdown when Windows does not say.
constexpr DWORD kDefaultShutdownMs = 5000;

// The time Windows gives services at a system shutdown (WaitToKillServiceTimeout).
DWORD waitToKillServiceMs() {
    try {
        RegistryKey control(L"SYSTEM\\CurrentControlSet\\Control", KEY_READ);
        const std::wstring value = control.readString(L"WaitToKillServiceTimeout");
        if (!value.empty() && value.find_first_not_of(L"0123456789") == std::wstring::npos &&
            value.size() < 9)
            return static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    } catch (const RegistryException&) {
        // Not set: the default applies.
    }
    return kDefaultShutdownMs;
}

const wchar_t* controlName(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_PRESHUTDOWN:
        return L"pre-shutdown";
    case SERVICE_CONTROL_SHUTDOWN:
        return L"shutdown";
    default:
        return L"stop";
    }
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

DWORD WINAPI controlHandler(DWORD code, DWORD, void*, void* context) {
    if (code == SERVICE_CONTROL_INTERROGATE)
        return NO_ERROR;
    return static_cast<ServiceKIV*>(context)->control(code) ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

// A user logging off must not end the service process; other events are handled as usual.
BOOL WINAPI consoleHandler(DWORD event) {
    return event == CTRL_LOGOFF_EVENT ? TRUE : FALSE;
}

} // namespace

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

bool ServiceKIV::control(DWORD code) {
    return state_ && state_->requestStop(code);
}

// The service thread: launch, then wait for a stop or the VM's own end, whichever comes first.
void ServiceKIV::start() {
    SetConsoleCtrlHandler(consoleHandler, TRUE);
    const wchar_t* name = commandLine().serviceName().c_str();
    ServiceApi& api = ServiceApi::instance();
    preshutdownMs_ = api.preshutdownTimeoutMs(name);
    trace(preshutdownMs_ ? L"service accepts pre-shutdown (" + decimal(preshutdownMs_) + L" ms)"
                         : std::wstring(L"service accepts shutdown"));
    state_ = std::make_unique<ServiceState>(
        [this](const SERVICE_STATUS& status) {
            SERVICE_STATUS report = status;
            ServiceApi::instance().setServiceStatus(statusHandle_, &report);
        },
        preshutdownMs_ ? SERVICE_ACCEPT_PRESHUTDOWN : SERVICE_ACCEPT_SHUTDOWN);
    statusHandle_ = api.registerServiceCtrlHandlerEx(name, controlHandler, this);
    state_->startPending(kStartWaitHintMs);
    launch();
    state_->running();
    const HANDLE events[] = {state_->stopRequested(), vmProcess()};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0)
        stop();
    vmEnded();
}

void ServiceKIV::launch() {
    try {
        KIV::run(false);
        return;
    } catch (const TerminalError& error) {
        failedLaunch(error.message());
    } catch (const std::exception& error) {
        failedLaunch(unknownExceptionMessage(error.what()));
    }
}

void ServiceKIV::vmEnded() {
    const std::optional<DWORD> code = waitForExitCode(vmProcess());
    trace(code ? L"VM exit code " + decimal(*code) : L"VM exit code unknown");
    // What the application started on purpose to outlive it keeps running.
    vmJob().keepProcessesOnClose();
    discardFiles();
    if (!code) // an exit code that cannot be learned is no clean stop
        finish(ERROR_SERVICE_SPECIFIC_ERROR, kLaunchFailedCode, kLaunchFailedCode);
    // A stop asked for while the VM was ending still counts as a stop that was asked for.
    if (*code == 0 || state_->stopControl() != 0)
        finish(NO_ERROR, 0, 0);
    finish(ERROR_SERVICE_SPECIFIC_ERROR, *code, *code);
}

// A stop that the user or the system asked for ends stopped with 0, whatever code the VM ended
// with, so that it never counts as a failure to recover from.
void ServiceKIV::stop() {
    const DWORD control = state_->stopControl();
    const DWORD systemMs = control == SERVICE_CONTROL_PRESHUTDOWN ? preshutdownMs_
                           : control == SERVICE_CONTROL_SHUTDOWN  ? waitToKillServiceMs()
                                                                  : 0;
    trace(std::wstring(controlName(control)) + L" asked for");
    ServiceStop stop{
        *state_, vmProcess(), vmJob(), nullptr,
        stopWaitLimitMs(control, settings::serviceStopTimeoutSeconds(settings()) * 1000, systemMs)};
    if (!settings::serviceStopMainClass(settings()).empty())
        stop.startStopVm = [this] { return startStopVm(); };
    if (stop.run())
        discardFiles();
    finish(NO_ERROR, 0, 0);
}

void ServiceKIV::discardFiles() {
    discardVmFiles();
    if (stopVm_)
        stopVm_->discardLaunchFiles();
}

void ServiceKIV::finish(DWORD win32ExitCode, DWORD vmCode, DWORD processExitCode) {
    // Set first: once stopped is reported, the dispatcher may return and the main thread end
    // the process with this code.
    exitCode_ = processExitCode;
    state_->stopped(win32ExitCode, win32ExitCode == NO_ERROR ? 0 : vmCode);
    ExitProcess(processExitCode);
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
        UniqueHandle process = stopVm_->launch(stop, false, &vmJob());
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
    trace(L"launch failed: " + message);
    reportServiceError(commandLine().serviceName(), message, kLaunchFailedCode);
    // A VM that did start keeps its files; it ends with the service process (kill-on-close).
    if (!vmProcess())
        discardFiles();
    finish(ERROR_SERVICE_SPECIFIC_ERROR, kLaunchFailedCode, kLaunchFailedCode);
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
