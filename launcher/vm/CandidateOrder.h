// Bitness preference and the ordering of VM candidates. Platform-free.
#pragma once

#include "JVMVersion.h"

namespace tarrow {

// The platform setting ("kiv.nl.win32.java.launcher.platform"): which bitness a VM may have and
// which one is preferred. Other values accept both and prefer 64-bit.
constexpr long long kBoth64BitFirst = 0;
constexpr long long kBoth32BitFirst = 1;
constexpr long long kOnly64Bit = 2;
constexpr long long kOnly32Bit = 3;

bool platformAccepts(long long platform, bool is64Bit);

// The sort order of candidates (the chosen VM is the last): same bitness by version, lower
// first; otherwise the preferred bitness comes after the other.
bool candidateBefore(bool aIs64Bit, const JVMVersion& a, bool bIs64Bit, const JVMVersion& b,
                     long long platform);

} // namespace tarrow
