// Queries of a version resource's data: a tree of blocks, each with its length, its value's
// length, its type (1: text, counted in characters; 0: binary, counted in bytes), a key, a
// value and then its children, every block and value at a four-byte boundary. Read as
// Windows' version functions read it, except that nothing is read outside the data or outside
// the block it belongs to. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarrow {

// The fixed file version of the root block as four words: high and low word of the most
// significant half, then of the least significant half. Nothing when the root's value is
// shorter than the fixed file information.
std::optional<std::array<std::uint16_t, 4>> fixedFileVersion(const std::vector<std::uint8_t>& data);

// The text at a path of keys below the root, such as {"StringFileInfo", "040904b0",
// "CompanyName"}; keys match without regard to ASCII case. The text ends at its value's length
// or its first NUL. Nothing when a key is missing or a block is malformed.
std::optional<std::wstring> versionText(const std::vector<std::uint8_t>& data,
                                        const std::vector<std::wstring>& keys);

} // namespace tarrow
