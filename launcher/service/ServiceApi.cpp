#include "ServiceApi.h"

#include "SystemLibrary.h"

namespace tarrow {

ServiceApi& ServiceApi::instance() {
    static ServiceApi api;
    return api;
}

ServiceApi::ServiceApi() : module_(loadSystemLibrary(L"advapi32.dll")) {}

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

} // namespace tarrow
