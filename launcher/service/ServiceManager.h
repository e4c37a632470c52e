// The service control manager's functions that register, stop and remove services, taken from
// the system's advapi32.dll at run time, as the service functions are (ServiceApi.h), so that
// they do not appear in the program's imports.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace tarrow {

struct ServiceManagerFunctions {
    decltype(&::OpenSCManagerW) openManager;
    decltype(&::CreateServiceW) createService;
    decltype(&::OpenServiceW) openService;
    decltype(&::ChangeServiceConfig2W) changeConfig2;
    decltype(&::ControlService) control;
    decltype(&::QueryServiceStatusEx) queryStatus;
    decltype(&::QueryServiceConfigW) queryConfig;
    decltype(&::DeleteService) deleteService;
    decltype(&::CloseServiceHandle) closeHandle;
};

// The functions, loaded once on first use; null when the library or one of its functions
// cannot be had, with the last error set to what stopped the load.
const ServiceManagerFunctions* serviceManagerFunctions();

// A handle of the service control manager or of a service; exists only where the functions
// were loaded.
void closeServiceHandle(SC_HANDLE handle) noexcept;
using UniqueServiceHandle = UniqueAny<SC_HANDLE, &closeServiceHandle>;

} // namespace tarrow
