#include "LaunchContext.h"

#include "FileSystem.h"
#include "PathString.h"

namespace tarrow {

std::wstring propertiesFolder(const LaunchContext& launch) {
    return parent(fullPath(launch.propertiesPath), L".");
}

} // namespace tarrow
