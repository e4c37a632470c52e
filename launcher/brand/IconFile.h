// The images of an icon file (.ico) and the icon group that names them as a program's
// resources. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ByteView.h"

namespace tarrow {

// One image of an icon file: its directory entry's description and its bytes (a PNG file, or
// a bitmap header with colour and mask bits).
struct IconImage {
    std::uint8_t width = 0;  // 0 stands for 256
    std::uint8_t height = 0; // 0 stands for 256
    std::uint8_t colourCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    Bytes bytes;
};

// The images of an icon file, in directory order. A bitmap image whose entry leaves planes or
// bit count at zero takes them from its bitmap header. Raises TerminalError naming `name` when
// the file is no icon file, holds no image, or its directory promises an image that is empty,
// is no PNG or bitmap, or lies outside the file.
std::vector<IconImage> readIconFile(const Bytes& file, const std::wstring& name);

// The icon group resource for `images`, whose icon resources carry the ids in `ids` (one per
// image, in the same order).
Bytes iconGroup(const std::vector<IconImage>& images, const std::vector<std::uint16_t>& ids);

} // namespace tarrow
