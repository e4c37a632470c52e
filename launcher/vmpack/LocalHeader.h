// The local header that leads each entry's data in a ZIP archive, read as the archive arrives.
// Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarrow {

// The fixed 30 bytes of a local header.
struct LocalHeader {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosDate = 0; // DOS date (high 16 bits) and time (low 16 bits)
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;

    // The header's whole length: its data follows.
    std::size_t length() const { return kFixedLength + nameLength + extraLength; }
    // Whether its data can be written as it arrives: the sizes and the check value are in the
    // header (no data descriptor follows the data, no 64-bit sizes), it is not encrypted, and it
    // is stored or deflated.
    bool writableAsItArrives() const;

    static constexpr std::size_t kFixedLength = 30;
};

enum class LocalHeaderRead {
    Read,     // `header` holds the fixed part
    NeedMore, // fewer than 30 bytes were given
    NotOne,   // the bytes are no local header: the central directory, or anything else
};

// Reads the fixed part of a local header from the first `count` bytes at `bytes`.
LocalHeaderRead readLocalHeader(const unsigned char* bytes, std::size_t count, LocalHeader& header);

} // namespace tarrow
