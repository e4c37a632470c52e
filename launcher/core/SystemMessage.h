// The system's text for an error number.
#pragma once

#include <windows.h>

#include <string>

namespace tarrow {

// FormatMessageW text of `error` (at most 128 characters, trailing line break removed).
std::wstring systemMessage(DWORD error);

} // namespace tarrow
