#include "ServiceApi.h"

#include "SystemLibrary.h"
#include "UniqueHandle.h"

namespace tarrow {

ServiceApi& ServiceApi::instance() {
    static ServiceApi api;
    return api;
}

namespace {

// An event source exists only where the functions were loaded.
void releaseEventSource(HANDLE log) noexcept {
    ServiceApi::instance().deregisterEventSource(log);
}
using UniqueEventSource = UniqueAny<HANDLE, &releaseEventSource>;

// A service manager or service handle exists only where the functions were loaded.
void releaseServiceHandle(SC_HANDLE handle) noexcept {
    ServiceApi::instance().closeServiceHandle(handle);
}
using UniqueServiceHandle = UniqueAny<SC_HANDLE, &releaseServiceHandle>;

} // namespace

ServiceApi::ServiceApi() : module_(loadSystemLibrary(L"advapi32.dll")) {}

bool ServiceApi::deregisterEventSource(HANDLE log) {
    using Fn = BOOL(WINAPI*)(HANDLE);
    const auto f =
        function<Fn>(deregisterSource_, deregisterSourceLooked_, "DeregisterEventSource");
    return f && (!log || f(log));
}

template <typename Function>
Function ServiceApi::function(FARPROC& cache, bool& looked, const char* name) {
    if (!looked) {
        looked = true;
        cache = module_ ? GetProcAddress(module_, name) : nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(cache));
}

BOOL ServiceApi::startServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* table) {
    using Fn = BOOL(WINAPI*)(const SERVICE_TABLE_ENTRYW*);
    const auto f = function<Fn>(dispatcher_, dispatcherLooked_, "StartServiceCtrlDispatcherW");
    return f ? f(table) : 0;
}

SERVICE_STATUS_HANDLE ServiceApi::registerServiceCtrlHandlerEx(const wchar_t* name,
                                                               LPHANDLER_FUNCTION_EX handler,
                                                               void* context) {
    using Fn = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID);
    const auto f =
        function<Fn>(registerHandler_, registerHandlerLooked_, "RegisterServiceCtrlHandlerExW");
    return f ? f(name, handler, context) : nullptr;
}

DWORD ServiceApi::preshutdownTimeoutMs(const wchar_t* name) {
    using OpenManagerFn = SC_HANDLE(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    using OpenServiceFn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCWSTR, DWORD);
    using QueryFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
    const auto openManager =
        function<OpenManagerFn>(openManager_, openManagerLooked_, "OpenSCManagerW");
    const auto openService =
        function<OpenServiceFn>(openService_, openServiceLooked_, "OpenServiceW");
    const auto query =
        function<QueryFn>(queryConfig2_, queryConfig2Looked_, "QueryServiceConfig2W");
    if (!openManager || !openService || !query || !closeServiceHandle(nullptr))
        return 0;
    const UniqueServiceHandle manager(openManager(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return 0;
    const UniqueServiceHandle service(openService(manager.get(), name, SERVICE_QUERY_CONFIG));
    SERVICE_PRESHUTDOWN_INFO info = {};
    DWORD needed = 0;
    if (!service || !query(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO,
                           reinterpret_cast<BYTE*>(&info), sizeof info, &needed))
        return 0;
    return info.dwPreshutdownTimeout;
}

bool ServiceApi::closeServiceHandle(SC_HANDLE handle) {
    using Fn = BOOL(WINAPI*)(SC_HANDLE);
    const auto f = function<Fn>(closeService_, closeServiceLooked_, "CloseServiceHandle");
    return f && (!handle || f(handle));
}

BOOL ServiceApi::setServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status) {
    using Fn = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS);
    const auto f = function<Fn>(setStatus_, setStatusLooked_, "SetServiceStatus");
    return f ? f(handle, status) : 0;
}

bool ServiceApi::reportError(const std::wstring& source, const std::wstring& text) {
    using RegisterFn = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
    using ReportFn = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
    const auto registerSource =
        function<RegisterFn>(registerSource_, registerSourceLooked_, "RegisterEventSourceW");
    const auto report = function<ReportFn>(reportEvent_, reportEventLooked_, "ReportEventW");
    if (!registerSource || !report || !deregisterEventSource(nullptr))
        return false;
    const UniqueEventSource log(registerSource(nullptr, source.c_str()));
    if (!log)
        return false;
    LPCWSTR strings[] = {text.c_str()};
    return report(log.get(), EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr) != 0;
}

} // namespace tarrow
