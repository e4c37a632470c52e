// Reading the machine type and subsystem of a program image.
#pragma once

#include <string>

namespace tarrow {

// True when the file is a PE image built for AMD64 (machine 0x8664 with the 64-bit optional
// header).
bool isAmd64Image(const std::wstring& path);

// True when the file is a PE image of the Windows (graphical) subsystem, a program that does not
// attach to its parent's console (javaw.exe).
bool isWindowsSubsystemImage(const std::wstring& path);

} // namespace tarrow
