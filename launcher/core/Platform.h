// What differs between the 32-bit product and the 64-bit build of the same sources. The
// 64-bit build behaves as the 32-bit launcher does on 64-bit Windows: its own registry view is
// the 32-bit one, and the 64-bit view is the other.
#pragma once

#include <windows.h>

namespace tarrow {

#if defined(_WIN64)
constexpr bool kIs64BitBuild = true;
// Access flag that selects the launcher's own registry view.
constexpr REGSAM kOwnRegistryView = KEY_WOW64_32KEY;
#else
constexpr bool kIs64BitBuild = false;
constexpr REGSAM kOwnRegistryView = 0;
#endif

// Access flag of the 64-bit registry view.
constexpr REGSAM kRegistryView64 = KEY_WOW64_64KEY;

// True on 64-bit Windows: the 32-bit launcher then runs under WOW64, and the 64-bit build
// always does. The searches then also look at the 64-bit registry view and 64-bit VMs.
bool sees64BitWindows();

} // namespace tarrow
