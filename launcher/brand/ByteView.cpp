#include "ByteView.h"

namespace tarrow {

std::uint16_t word(const Bytes& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::uint32_t dword(const Bytes& data, std::size_t at) {
    return static_cast<std::uint32_t>(word(data, at)) |
           static_cast<std::uint32_t>(word(data, at + 2)) << 16;
}

void putWord(Bytes& data, std::size_t at, std::uint32_t value) {
    data[at] = static_cast<std::uint8_t>(value);
    data[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putDword(Bytes& data, std::size_t at, std::uint32_t value) {
    putWord(data, at, value & 0xFFFF);
    putWord(data, at + 2, value >> 16);
}

void appendWord(Bytes& data, std::uint32_t value) {
    data.resize(data.size() + 2);
    putWord(data, data.size() - 2, value);
}

void appendDword(Bytes& data, std::uint32_t value) {
    appendWord(data, value & 0xFFFF);
    appendWord(data, value >> 16);
}

void appendRange(Bytes& data, const Bytes& from, std::size_t at, std::size_t size) {
    data.insert(data.end(), from.begin() + static_cast<std::ptrdiff_t>(at),
                from.begin() + static_cast<std::ptrdiff_t>(at + size));
}

void padTo(Bytes& data, std::size_t alignment) {
    data.resize((data.size() + alignment - 1) & ~(alignment - 1));
}

bool fits(std::uint64_t at, std::uint64_t size, std::uint64_t total) {
    return at <= total && size <= total - at;
}

} // namespace tarrow
