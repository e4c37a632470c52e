// What the tests that run Tarrow.exe share: a handle of the real service control manager, the
// environment values that name the programs under test, and text helpers for the paths and
// settings they write.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueHandle.h"

namespace tarrow::test {

using UniqueServiceHandle = UniqueAny<SC_HANDLE, &::CloseServiceHandle>;

// The value of an environment variable; empty when it is not set or longer than MAX_PATH.
std::wstring variable(const wchar_t* name);

// ASCII text as bytes (the tests' paths and names are ASCII).
std::string narrow(const std::wstring& text);

// A path with forward slashes, for a properties file (a backslash before "u" is an escape).
std::string slashed(const std::wstring& path);

} // namespace tarrow::test
