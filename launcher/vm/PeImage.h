// Reading the machine type of a program image.
#pragma once

#include <string>

namespace tarrow {

// True when the file is a PE image built for AMD64 (machine 0x8664 with the 64-bit optional
// header).
bool isAmd64Image(const std::wstring& path);

} // namespace tarrow
