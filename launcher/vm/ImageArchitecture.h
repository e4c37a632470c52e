// The processor architecture a program image is built for. Platform-free.
#pragma once

#include <cstdint>
#include <string>

namespace tarrow {

enum class ImageArchitecture : int { Unknown = 0, X86 = 1, X64 = 2, Arm64 = 3 };

// What an image's architecture is known as, and why it is not known.
struct ImageMachine {
    ImageArchitecture architecture = ImageArchitecture::Unknown;
    std::wstring unknownBecause; // when Unknown: why the image could not be read
};

// The architecture of a PE file header's Machine field: 0x14C is x86, 0x8664 x64, 0xAA64 ARM64
// (ARM64X images carry it too) and 0xA641 ARM64EC, which counts as ARM64. Any other machine is
// unknown, the reason naming it.
ImageMachine machineArchitecture(std::uint16_t machine);

// True for x64 and ARM64.
bool is64BitArchitecture(ImageArchitecture architecture);

// "x86", "x64", "ARM64" or "unknown".
const wchar_t* architectureName(ImageArchitecture architecture);

// The trace's words for an image's architecture: its name, or "architecture unknown: " and the
// reason.
std::wstring architectureText(const ImageMachine& machine);

} // namespace tarrow
