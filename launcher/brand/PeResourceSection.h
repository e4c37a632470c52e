// The resource section of a program image: reading it, and giving the image a new one. Done on
// the file's bytes, so that the same inputs give the same bytes on every system. Platform-free.
#pragma once

#include <cstdint>

#include "ByteView.h"

namespace tarrow {

struct ResourceSection {
    std::uint32_t address = 0; // where the section is mapped, relative to the image base
    Bytes bytes;               // its bytes in the file
};

// The section that the image's resource directory starts. Raises TerminalError when the image
// is no PE image, has no resources, or its resources do not start a section of their own.
ResourceSection readResourceSection(const Bytes& image);

// The image with `contents` as its resource section: the sections after it move in the file
// and in memory as far as the section grew or shrank (only sections that no code refers to may
// follow it), the header's sizes and directories follow them, a signature is dropped (it no
// longer matches) and the checksum is brought up to date.
Bytes replaceResourceSection(const Bytes& image, const Bytes& contents);

// The PE checksum of a file whose checksum field holds zero: the 16-bit one's complement sum of
// its words (a last odd byte as a word of its own) plus the file's length.
std::uint32_t peChecksum(const Bytes& file);

} // namespace tarrow
