#include "ServiceApi.h"

#include <string>

#include "SystemFunction.h"
#include "Wow64.h"

namespace tarrow {

namespace {

std::wstring systemDirectory() {
    wchar_t buffer[MAX_PATH];
    UINT length = 0;
    if (isWow64Process()) {
        using GetSystemWow64DirectoryWFn = UINT(WINAPI*)(LPWSTR, UINT);
        const auto get = lookupFunction<GetSystemWow64DirectoryWFn>(
            GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryW");
        length = get ? get(buffer, MAX_PATH) : 0;
    } else {
        length = GetSystemDirectoryW(buffer, MAX_PATH);
    }
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring directory(buffer, length);
    if (directory.back() == L'\\' || directory.back() == L'/')
        directory.pop_back();
    return directory;
}

} // namespace

ServiceApi& ServiceApi::instance() {
    static ServiceApi api;
    return api;
}

ServiceApi::ServiceApi() {
    const std::wstring directory = systemDirectory();
    if (!directory.empty())
        module_ = LoadLibraryW((directory + L"\\advapi32.dll").c_str());
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

} // namespace tarrow
