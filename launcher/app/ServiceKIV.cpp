#include "ServiceKIV.h"

#include <cstdio>
#include <cwchar>

#include "ServiceApi.h"
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
        } catch (...) {
            service_.failedLaunch();
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
    if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN)
        stopSequence();
}

void ServiceKIV::stopSequence() {
    setStatus(SERVICE_STOP_PENDING);
    if (vmProcess() && !vmCleared_.exchange(true)) {
        TerminateProcess(vmProcess(), 0);
        if (vmJob_)
            TerminateJobObject(vmJob_.get(), 0);
        WaitForSingleObject(vmProcess(), kStopWaitMs);
        discardVmFiles();
    }
    status_.dwWin32ExitCode = 0;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 0;
    setStatus(SERVICE_STOPPED);
}

void ServiceKIV::failedLaunch() {
    // Set first: once stopped is reported, the main thread may end the process.
    exitCode_ = kLaunchFailedCode;
    status_.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = kLaunchFailedCode;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 0;
    setStatus(SERVICE_STOPPED);
    ExitProcess(kLaunchFailedCode);
}

void ServiceKIV::vmStarted(HANDLE process) {
    // Best effort: without a job the service behaves as before, ending only the VM itself.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof limits) &&
        AssignProcessToJobObject(job.get(), process))
        vmJob_ = std::move(job);
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

DWORD runService(const CommandLine& commandLine) {
    ServiceKIV& service = ServiceKIV::instance(commandLine);
    service.dispatch();
    return service.exitCode();
}

} // namespace tarrow
