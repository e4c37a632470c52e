// The search driven by VM specification files in the "jvmspecs" folder: registry and path
// hints give candidate programs, which the "Verify" probe must confirm.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "JVM.h"
#include "VmDescriptionFile.h"

namespace tarrow {

// Reads a specification file into `spec`. Raises FileException when it cannot be opened.
void readVmDescription(const std::wstring& path, VmDescription& spec);

// Searches with the VM specification files of these names (in the "jvmspecs" folder of the
// current directory), in order; chooses the first confirmed VM of the bitness the platform
// value asks for. Each "Verify" probe may run `verifyTimeoutMs`. Null when none.
std::unique_ptr<JVM> findDescribedVm(const std::vector<std::wstring>& fileNames, long long platform,
                                     const JavaOptions& options, unsigned long verifyTimeoutMs);

} // namespace tarrow
