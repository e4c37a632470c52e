// The search driven by VM specification files in the "jvmspecs" folder: registry and path
// hints give candidate programs, which the "Verify" probe must confirm.
#pragma once

#include <memory>

#include "JVM.h"
#include "VmDescriptionFile.h"

namespace tarrow {

class PropertySet;

// Reads a specification file into `spec`. Raises FileException when it cannot be opened.
void readSpecFile(const std::wstring& path, JVMSpec& spec);

// Searches with the files named by build.jvmspec.0 ... build.jvmspec.(count-1) of the VM
// specification settings (files in the "jvmspecs" folder of the current directory); chooses
// the first confirmed VM of the bitness the platform value asks for. Null when none.
std::unique_ptr<JVM> findSpecifiedVM(const PropertySet& vmSpecSettings, long long platform,
                                     const JavaOptions& options, int count, JVMSpec& spec);

} // namespace tarrow
