// Little-endian words in byte buffers, for the file formats that branding reads and writes.
// Out of line: the launcher is kept small, and these are called from many places. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarrow {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t word(const Bytes& data, std::size_t at);
std::uint32_t dword(const Bytes& data, std::size_t at);
void putWord(Bytes& data, std::size_t at, std::uint32_t value);
void putDword(Bytes& data, std::size_t at, std::uint32_t value);
void appendWord(Bytes& data, std::uint32_t value);
void appendDword(Bytes& data, std::uint32_t value);

// Appends `size` bytes of `from` starting at `at`.
void appendRange(Bytes& data, const Bytes& from, std::size_t at, std::size_t size);

// Zero bytes up to the next multiple of `alignment` (a power of two).
void padTo(Bytes& data, std::size_t alignment);

// True when `size` bytes at `at` lie inside `total` bytes, without overflow.
bool fits(std::uint64_t at, std::uint64_t size, std::uint64_t total);

} // namespace tarrow
