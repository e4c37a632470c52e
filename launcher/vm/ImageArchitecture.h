// The processor architecture a program image is built for. Platform-free.
#pragma once

#include <cstdint>

namespace tarrow {

// x86, x64 and ARM64 are known; the others say why the architecture is not known.
enum class ImageArchitecture : int { NoImage = 0, X86, X64, Arm64, Unopened, OtherMachine };

// The architecture of a PE file header's Machine field: 0x14C is x86, 0x8664 x64, 0xAA64 ARM64
// (ARM64X images carry it too) and 0xA641 ARM64EC, which counts as ARM64. Any other machine
// is OtherMachine.
ImageArchitecture machineArchitecture(std::uint16_t machine);

// True for x86, x64 and ARM64.
bool isKnownArchitecture(ImageArchitecture architecture);

// True for x64 and ARM64.
bool is64BitArchitecture(ImageArchitecture architecture);

// The trace's words: "x86", "x64", "ARM64", or "architecture unknown: " and why.
const wchar_t* architectureName(ImageArchitecture architecture);

} // namespace tarrow
