#include "ServiceManager.h"

#include <optional>

#include "SystemFunction.h"
#include "SystemLibrary.h"

namespace tarrow {

namespace {

template <typename Function> bool resolve(HMODULE module, Function& slot, const char* name) {
    slot = lookupFunction<Function>(module, name);
    return slot != nullptr;
}

struct Loaded {
    std::optional<ServiceManagerFunctions> table;
    DWORD error = ERROR_SUCCESS;
};

Loaded load() {
    const HMODULE module = loadSystemLibrary(L"advapi32.dll");
    ServiceManagerFunctions f{};
    if (module && resolve(module, f.openManager, "OpenSCManagerW") &&
        resolve(module, f.createService, "CreateServiceW") &&
        resolve(module, f.openService, "OpenServiceW") &&
        resolve(module, f.changeConfig2, "ChangeServiceConfig2W") &&
        resolve(module, f.control, "ControlService") &&
        resolve(module, f.queryStatus, "QueryServiceStatusEx") &&
        resolve(module, f.queryConfig, "QueryServiceConfigW") &&
        resolve(module, f.deleteService, "DeleteService") &&
        resolve(module, f.closeHandle, "CloseServiceHandle"))
        return {f, ERROR_SUCCESS};
    return {std::nullopt, GetLastError() ? GetLastError() : ERROR_PROC_NOT_FOUND};
}

} // namespace

const ServiceManagerFunctions* serviceManagerFunctions() {
    static const Loaded loaded = load();
    if (loaded.table)
        return &*loaded.table;
    SetLastError(loaded.error);
    return nullptr;
}

void closeServiceHandle(SC_HANDLE handle) noexcept {
    if (const ServiceManagerFunctions* f = serviceManagerFunctions())
        f->closeHandle(handle);
}

} // namespace tarrow
