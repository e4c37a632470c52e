// Reading the machine type and subsystem of a program image.
#pragma once

#include <string>

#include "ImageArchitecture.h"

namespace tarrow {

// The architecture the file's PE header names; Unopened when the file cannot be opened (a
// sharing conflict, a path too long), NoImage when it is no PE image.
ImageArchitecture imageArchitecture(const std::wstring& path);

// True when the file is a PE image of the Windows (graphical) subsystem, a program that does not
// attach to its parent's console (javaw.exe).
bool isWindowsSubsystemImage(const std::wstring& path);

} // namespace tarrow
