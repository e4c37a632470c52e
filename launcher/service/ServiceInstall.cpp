#include "ServiceInstall.h"

#include <memory>
#include <vector>

#include "Errors.h"
#include "ProgramPath.h"
#include "PropertiesFile.h"
#include "Reporter.h"
#include "ServiceFileTrust.h"
#include "ServiceManager.h"
#include "ServiceRegistration.h"
#include "Settings.h"
#include "SystemMessage.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

// Beyond the stop timeout, how long an uninstall waits for the service to report stopped: the
// service may take a few more seconds to end the VM and its processes.
constexpr DWORD kStopMarginSeconds = 10;
constexpr DWORD kStatusPollMs = 200;

// The error line "the service "NAME" ...".
[[noreturn]] void fail(const std::wstring& name, const std::wstring& what) {
    throw TerminalError(L"the service \"" + name + L"\" " + what);
}

// The error line of a refusal of the service control manager.
[[noreturn]] void refused(const std::wstring& name, DWORD error) {
    static const struct {
        DWORD error;
        const wchar_t* what;
    } known[] = {
        {ERROR_ACCESS_DENIED, L"may be installed and removed only from an elevated prompt "
                              L"(\"Run as administrator\")"},
        {ERROR_SERVICE_EXISTS, L"is already registered; it was left as it was"},
        {ERROR_DUPLICATE_SERVICE_NAME, L"has the name or display name of another service"},
        {ERROR_SERVICE_DOES_NOT_EXIST, L"does not exist"},
        {ERROR_SERVICE_MARKED_FOR_DELETE, L"is marked for removal; it goes once it has stopped"},
    };
    for (const auto& k : known) {
        if (k.error == error)
            fail(name, k.what);
    }
    fail(name,
         L"was refused: " + systemMessage(error) + L" (Windows error " + decimal(error) + L")");
}

const ServiceManagerFunctions& functions(const std::wstring& name) {
    const ServiceManagerFunctions* f = serviceManagerFunctions();
    if (!f)
        refused(name, GetLastError());
    return *f;
}

// Sets `level` to `info`; 0, or the manager's error.
DWORD change(const ServiceManagerFunctions& f, SC_HANDLE service, DWORD level, void* info) {
    return f.changeConfig2(service, level, info) ? 0 : GetLastError();
}

// An optional setting that this system's service manager does not know is left out; the
// success line then names it.
DWORD changeIfKnown(const ServiceManagerFunctions& f, SC_HANDLE service, DWORD level, void* info,
                    const wchar_t* what, std::wstring& unsupported) {
    const DWORD error = change(f, service, level, info);
    if (error != ERROR_INVALID_LEVEL)
        return error;
    trace(L"the service manager does not support " + std::wstring(what));
    unsupported += (unsupported.empty() ? L"" : L", ") + std::wstring(what);
    return 0;
}

// Restarts after a failure; 0, or the error of the first change refused.
DWORD configureRestarts(const ServiceManagerFunctions& f, SC_HANDLE service,
                        const ServiceRegistration& r, std::wstring& unsupported) {
    const size_t count = r.restartDelays.size();
    const std::unique_ptr<SC_ACTION[]> actions(new SC_ACTION[count]);
    for (size_t i = 0; i < count; ++i)
        actions[i] = {SC_ACTION_RESTART, r.restartDelays[i] * 1000};
    SERVICE_FAILURE_ACTIONSW failure = {r.restartResetSeconds, nullptr, nullptr,
                                        static_cast<DWORD>(count), actions.get()};
    if (const DWORD error = change(f, service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        return error;
    // A VM that ends by itself with a non-zero code counts as a failure too.
    SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
    return changeIfKnown(f, service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag,
                         L"restarts after a non-zero exit code", unsupported);
}

// The description, delayed start and restarts; 0, or the error of the first change refused.
DWORD configure(const ServiceManagerFunctions& f, SC_HANDLE service, const ServiceRegistration& r,
                std::wstring& unsupported) {
    DWORD error = 0;
    std::wstring description = r.description;
    SERVICE_DESCRIPTIONW text = {description.data()};
    if (!description.empty() && (error = change(f, service, SERVICE_CONFIG_DESCRIPTION, &text)))
        return error;
    SERVICE_DELAYED_AUTO_START_INFO delayed = {TRUE};
    if (r.delayedStart && (error = changeIfKnown(f, service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                                 &delayed, L"delayed start", unsupported)))
        return error;
    return r.restartDelays.empty() ? 0 : configureRestarts(f, service, r, unsupported);
}

void install(const CommandLine& commandLine) {
    // The image that runs and the ".kiv" beside it, not what argument 0 names nor one in the
    // current folder: that may be a downloads folder holding anyone's program and settings.
    const std::wstring program = runningProgramPath();
    const std::wstring properties = locatePropertiesFile(program, false);
    PropertySet settings;
    readProperties(properties, settings);
    const auto& all = commandLine.arguments();
    const std::vector<std::wstring> arguments(all.begin() + (all.empty() ? 0 : 1), all.end());
    const ServiceRegistration r =
        serviceRegistration(commandLine.serviceName(), settings, program, arguments);
    trace(L"service " + r.name + L" program " + r.commandLine);
    trace(describeRegistration(r));
    checkServiceFiles(r, program, properties, settings);

    const ServiceManagerFunctions& f = functions(r.name);
    const UniqueServiceHandle manager(f.openManager(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        refused(r.name, GetLastError());
    const UniqueServiceHandle service(f.createService(
        manager.get(), r.name.c_str(), r.displayName.c_str(),
        SERVICE_CHANGE_CONFIG | SERVICE_START | DELETE, SERVICE_WIN32_OWN_PROCESS,
        static_cast<DWORD>(r.startType), SERVICE_ERROR_NORMAL, r.commandLine.c_str(), nullptr,
        nullptr, r.dependencies.empty() ? nullptr : r.dependencies.c_str(),
        r.account.empty() ? nullptr : r.account.c_str(), nullptr));
    if (!service)
        refused(r.name, GetLastError());
    std::wstring unsupported;
    if (const DWORD error = configure(f, service.get(), r, unsupported)) {
        f.deleteService(service.get()); // nothing stays registered
        refused(r.name, error);
    }
    std::wstring line = L"The service \"" + r.name + L"\" is installed";
    if (!unsupported.empty())
        line.append(L" (this system's service manager ignores: ").append(unsupported).append(L")");
    Reporter::always().sayWide(line + L".\n");
}

// How long the service's stop may take: the ".kiv" beside this launcher says, else the default.
DWORD stopLimitSeconds() {
    PropertySet settings;
    try {
        readProperties(locatePropertiesFile(runningProgramPath(), false), settings);
    } catch (const LauncherException&) {
        // No ".kiv" here: the service's stop takes the default time.
    }
    return settings::serviceStopTimeoutSeconds(settings) + kStopMarginSeconds;
}

SERVICE_STATUS_PROCESS queryStatus(const ServiceManagerFunctions& f, SC_HANDLE service,
                                   const std::wstring& name) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!f.queryStatus(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                       sizeof status, &needed))
        refused(name, GetLastError());
    return status;
}

// Asks a running service to stop (again while it cannot accept the request yet) and waits
// until it has stopped; false when it has not within `limitMs`.
bool stopService(const ServiceManagerFunctions& f, SC_HANDLE service, const std::wstring& name,
                 DWORD limitMs, bool& wasRunning) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    bool asked = false;
    for (;;) {
        const SERVICE_STATUS_PROCESS status = queryStatus(f, service, name);
        if (status.dwCurrentState == SERVICE_STOPPED)
            return true;
        wasRunning = true;
        SERVICE_STATUS reported;
        if (!asked && status.dwCurrentState != SERVICE_STOP_PENDING)
            asked = f.control(service, SERVICE_CONTROL_STOP, &reported) != 0;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kStatusPollMs);
    }
}

// The service's program line as the manager keeps it.
std::wstring programLine(const ServiceManagerFunctions& f, SC_HANDLE service,
                         const std::wstring& name) {
    DWORD needed = 0;
    if (!f.queryConfig(service, nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        refused(name, GetLastError());
    // QUERY_SERVICE_CONFIGW and the texts it points to, in blocks that keep its alignment.
    const size_t blocks = needed / sizeof(QUERY_SERVICE_CONFIGW) + 1;
    const std::unique_ptr<QUERY_SERVICE_CONFIGW[]> config(new QUERY_SERVICE_CONFIGW[blocks]);
    if (!f.queryConfig(service, config.get(),
                       static_cast<DWORD>(blocks * sizeof(QUERY_SERVICE_CONFIGW)), &needed))
        refused(name, GetLastError());
    return config[0].lpBinaryPathName ? config[0].lpBinaryPathName : L"";
}

// Only a service that runs a launcher under its own name is removed: a mistyped or clashing
// name must not stop and remove a service of the system or of another program.
void checkLauncherService(const ServiceManagerFunctions& f, SC_HANDLE service,
                          const std::wstring& name) {
    const std::wstring line = programLine(f, service, name);
    trace(L"service " + name + L" program " + line);
    if (!runsLauncherAsService(line, name))
        fail(name, L"does not run a launcher with \"-mvkivservice " + name +
                       L"\"; it was left as it was");
}

void uninstall(const CommandLine& commandLine) {
    const std::wstring& name = commandLine.serviceName();
    const ServiceManagerFunctions& f = functions(name);
    const UniqueServiceHandle manager(f.openManager(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        refused(name, GetLastError());
    const UniqueServiceHandle service(
        f.openService(manager.get(), name.c_str(),
                      SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | DELETE));
    if (!service)
        refused(name, GetLastError());
    checkLauncherService(f, service.get(), name);
    const DWORD limitSeconds = stopLimitSeconds();
    bool wasRunning = false;
    const bool stopped = stopService(f, service.get(), name, limitSeconds * 1000, wasRunning);
    if (!f.deleteService(service.get()))
        refused(name, GetLastError());
    if (!stopped)
        fail(name, L"did not stop within " + decimal(limitSeconds) +
                       L" seconds; it is marked for removal and goes once it has stopped");
    Reporter::always().sayWide(
        L"The service \"" + name +
        (wasRunning ? L"\" is stopped and removed.\n" : L"\" is removed.\n"));
}

} // namespace

void runServiceCommand(const CommandLine& commandLine) {
    if (commandLine.serviceName().empty())
        throw TerminalError(L"the service's name is missing: -mvkivinstall NAME [arguments...] "
                            L"or -mvkivuninstall NAME");
    if (commandLine.serviceCommand() == ServiceCommand::Install)
        install(commandLine);
    else
        uninstall(commandLine);
}

} // namespace tarrow
