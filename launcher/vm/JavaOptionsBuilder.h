// Fills the launch options from the launch's settings and state.
#pragma once

#include "JavaOptions.h"
#include "LaunchContext.h"

namespace tarrow {

// Working directory, environment export to the VM information file, main class, switches,
// heap sizes, the two launcher arguments, verbosity (warning on standard error), " -Xrs" in
// service mode, the class path made absolute against the properties file's folder, and the
// application's arguments. Raises FileException when the VM information file cannot be written.
JavaOptions buildJavaOptions(const LaunchContext& launch);

} // namespace tarrow
