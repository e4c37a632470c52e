// The version resource of an executable or library, read once from the file itself and
// queried as often as needed.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarrow {

class VersionResource {
  public:
    // The resource of the file; nothing when it has none or cannot be read.
    static std::optional<VersionResource> read(const std::wstring& path);

    // The fixed file version as four words: high and low word of the most significant half,
    // then of the least significant half.
    std::optional<std::array<WORD, 4>> fileVersion() const;

    // A string of the US English (Unicode) block, such as "CompanyName".
    std::optional<std::wstring> string(const std::wstring& name) const;

  private:
    explicit VersionResource(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    std::vector<std::uint8_t> data_;
};

// The fixed file version of a file; nothing when it has no version resource.
std::optional<std::array<WORD, 4>> readFileVersion(const std::wstring& path);

} // namespace tarrow
