// Helpers shared by the fuzz targets: reading the fuzzer's bytes as the launcher reads text,
// and failing loudly when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarrow::fuzz {

// Each byte one character, as the launcher reads its properties and specification files.
inline std::wstring latin1(const std::uint8_t* data, size_t size) {
    return std::wstring(data, data + size);
}

// Ends the run with a finding when a property does not hold.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// Splits the input at the first NUL byte: two independent texts from one input.
inline std::pair<std::wstring, std::wstring> twoTexts(const std::uint8_t* data, size_t size) {
    const std::wstring all = latin1(data, size);
    const size_t cut = all.find(L'\0');
    if (cut == std::wstring::npos)
        return {all, std::wstring()};
    return {all.substr(0, cut), all.substr(cut + 1)};
}

} // namespace tarrow::fuzz
