// The JNI libraries shipped beside the launcher, against the architecture of the chosen VM.
#pragma once

#include <string>

namespace tarrow {

class JVM;

// Traces a warning for each of Helper.dll and Nettaro.dll in `folder` whose architecture is
// known and differs from the VM program's known one: the VM cannot load such a library (an
// ARM64 VM cannot load an x64 Helper.dll). Libraries that are absent or unreadable, and a VM of
// unknown architecture, give nothing.
void traceShippedLibraryMismatch(const JVM& vm, const std::wstring& folder);

} // namespace tarrow
