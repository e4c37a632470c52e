// Bitness preference and the ordering of VM candidates. Platform-free.
#pragma once

#include "JVMVersion.h"

namespace tarrow {

// Platform values: 0 both, 64-bit first; 1 both, 32-bit first; 2 64-bit only; 3 32-bit only.
// Other values accept both and prefer 64-bit.
bool platformAccepts(long long platform, bool is64Bit);

// The sort order of candidates (the chosen VM is the last): same bitness by version, lower
// first; otherwise the preferred bitness comes after the other.
bool candidateBefore(bool aIs64Bit, const JVMVersion& a, bool bIs64Bit, const JVMVersion& b,
                     long long platform);

} // namespace tarrow
