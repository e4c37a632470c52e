// Describing a VM program given by its path.
#pragma once

#include <memory>
#include <string>

#include "JVM.h"

namespace tarrow {

// A J2VM for the program at `programPath`, with home, kind, vendor and version from the probe,
// its bitness from the program image, and a copy of `options`.
std::unique_ptr<JVM> describeJ2VM(const std::wstring& programPath, const JavaOptions& options);

} // namespace tarrow
