// Changing a version resource: its fixed file and product versions and the texts of its string
// tables. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ByteView.h"

namespace tarrow {

struct VersionEdits {
    // The fixed file and product versions: high and low word of the most significant half,
    // then of the least significant half.
    std::optional<std::array<std::uint16_t, 4>> version;
    // Texts such as {"ProductName", "Hello"}: set in every string table, added at its end
    // where the table lacks the key (keys match without regard to ASCII case).
    std::vector<std::pair<std::wstring, std::wstring>> texts;
};

// The version resource `data` with `edits` applied; every other block and value kept as it
// was. A resource without a string table gets one for US English in Unicode. Raises
// TerminalError when `data` is no well-formed version resource.
Bytes editVersionInfo(const Bytes& data, const VersionEdits& edits);

} // namespace tarrow
