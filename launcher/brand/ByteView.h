// Little-endian words in byte buffers, for the file formats that branding reads and writes.
// Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarrow {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t word(const Bytes& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

inline std::uint32_t dword(const Bytes& data, std::size_t at) {
    return static_cast<std::uint32_t>(word(data, at)) |
           static_cast<std::uint32_t>(word(data, at + 2)) << 16;
}

inline void putWord(Bytes& data, std::size_t at, std::uint32_t value) {
    data[at] = static_cast<std::uint8_t>(value);
    data[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void putDword(Bytes& data, std::size_t at, std::uint32_t value) {
    putWord(data, at, value & 0xFFFF);
    putWord(data, at + 2, value >> 16);
}

inline void appendWord(Bytes& data, std::uint32_t value) {
    data.resize(data.size() + 2);
    putWord(data, data.size() - 2, value);
}

inline void appendDword(Bytes& data, std::uint32_t value) {
    data.resize(data.size() + 4);
    putDword(data, data.size() - 4, value);
}

// Zero bytes up to the next multiple of `alignment` (a power of two).
inline void padTo(Bytes& data, std::size_t alignment) {
    data.resize((data.size() + alignment - 1) & ~(alignment - 1));
}

// True when `size` bytes at `at` lie inside `total` bytes, without overflow.
inline bool fits(std::uint64_t at, std::uint64_t size, std::uint64_t total) {
    return at <= total && size <= total - at;
}

} // namespace tarrow
