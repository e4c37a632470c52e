// Before the launcher registers a service that runs as a system account: none of the files the
// service trusts, nor the folders that hold them, may be changed by ordinary users, who could
// otherwise run code with the service's rights.
#pragma once

#include <string>

#include "PropertySet.h"
#include "ServiceRegistration.h"

namespace tarrow {

// When `registration` runs as LocalSystem, LocalService or NetworkService, judges the folder
// holding the launcher at `program`, the launcher, its ".kiv" at `properties`, and the
// "jvmspecs" folder where it exists, tracing each finding. Raises TerminalError naming the
// first object and the group that may change it (or whose permissions could not be read) and
// where such an application belongs, unless `settings` accept the risk.
void checkServiceFiles(const ServiceRegistration& registration, const std::wstring& program,
                       const std::wstring& properties, const PropertySet& settings);

} // namespace tarrow
