// The build-option step of a packaged application's launch: search, the shipped VM, or a VM
// pack downloaded, checked and unpacked.
#pragma once

#include <memory>
#include <string>

#include "InstalledVmSearch.h"
#include "JVM.h"
#include "LaunchContext.h"

namespace tarrow {

// Chooses the VM as "jvmspecs.properties" says, searching with `search` where it asks for
// the installed-VM search; null when none results.
std::unique_ptr<JVM> vmPackStep(const LaunchContext& launch, InstalledVmSearch& search,
                                const JavaOptions& options);

// The VM program shipped under the start directory; empty when there is none.
std::wstring shippedVmExecutable(const std::wstring& startDirectory);

// Where a pack of this file name is stored: the "Windows" (or "Windows_Pure_64_Bit") folder,
// the file name following "jvmspecs" directly; empty when neither jvmspecs folder exists.
std::wstring downloadDestination(const std::wstring& startDirectory, const std::wstring& fileName);

// The folder a pack is unpacked into (created, one level), ending in "\"; empty when neither
// "Windows" nor "Windows_Pure_64_Bit" exists.
std::wstring extractionTarget(const std::wstring& startDirectory);

} // namespace tarrow
