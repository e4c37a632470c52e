// Loading of Windows system libraries at run time, by full path from the system folder.
#pragma once

#include <windows.h>

#include <string>

namespace tarrow {

// The system's folder of 32-bit programs on 64-bit Windows (SysWOW64), without a trailing
// separator. Empty on 32-bit Windows or when Windows cannot say.
std::wstring systemWow64Folder();

// The system folder of this process's own bitness, without a trailing separator: SysWOW64 in
// a 32-bit process on 64-bit Windows, where file-system redirection may be switched off.
// Empty when Windows cannot say.
std::wstring systemLibraryFolder();

// Loads `fileName` from the system folder only, never from the program's folder, the current
// directory or the search path. The module stays loaded until the process ends. Returns null
// when it cannot be loaded.
HMODULE loadSystemLibrary(const wchar_t* fileName);

} // namespace tarrow
