// Reading the version resource of an executable or library.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

namespace tarrow {

// The fixed file version as four words: high and low word of the most significant half, then
// of the least significant half. Nothing when the file has no version resource.
std::optional<std::array<WORD, 4>> readFileVersion(const std::wstring& path);

// A string of the version resource's US English (Unicode) block, such as "CompanyName".
std::optional<std::wstring> readVersionString(const std::wstring& path, const std::wstring& name);

} // namespace tarrow
