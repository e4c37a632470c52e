#include "ServiceManager.h"

#include "RuntimeImports.h"

namespace tarrow {

namespace {

bool fillServiceManagerFunctions(HMODULE module, ServiceManagerFunctions& f) {
    return resolveFunction(module, f.openManager, "OpenSCManagerW") &&
           resolveFunction(module, f.createService, "CreateServiceW") &&
           resolveFunction(module, f.openService, "OpenServiceW") &&
           resolveFunction(module, f.changeConfig2, "ChangeServiceConfig2W") &&
           resolveFunction(module, f.control, "ControlService") &&
           resolveFunction(module, f.queryStatus, "QueryServiceStatusEx") &&
           resolveFunction(module, f.queryConfig, "QueryServiceConfigW") &&
           resolveFunction(module, f.deleteService, "DeleteService") &&
           resolveFunction(module, f.closeHandle, "CloseServiceHandle");
}

} // namespace

const ServiceManagerFunctions* serviceManagerFunctions() {
    static const LoadedFunctions<ServiceManagerFunctions> loaded =
        loadFunctions<ServiceManagerFunctions>(L"advapi32.dll", fillServiceManagerFunctions);
    return loaded.get();
}

void closeServiceHandle(SC_HANDLE handle) noexcept {
    if (const ServiceManagerFunctions* f = serviceManagerFunctions())
        f->closeHandle(handle);
}

} // namespace tarrow
