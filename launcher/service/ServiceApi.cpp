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

SERVICE_STATUS_HANDLE ServiceApi::registerServiceCtrlHandler(const wchar_t* name,
                                                             LPHANDLER_FUNCTION handler) {
    using Fn = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR, LPHANDLER_FUNCTION);
    const auto f =
        function<Fn>(registerHandler_, registerHandlerLooked_, "RegisterServiceCtrlHandlerW");
    return f ? f(name, handler) : nullptr;
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
