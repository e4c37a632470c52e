#include "ImageArchitecture.h"

namespace tarrow {

ImageArchitecture machineArchitecture(std::uint16_t machine) {
    if (machine == 0x14C)
        return ImageArchitecture::X86;
    if (machine == 0x8664)
        return ImageArchitecture::X64;
    if (machine == 0xAA64 || machine == 0xA641)
        return ImageArchitecture::Arm64;
    return ImageArchitecture::OtherMachine;
}

bool isKnownArchitecture(ImageArchitecture architecture) {
    return architecture >= ImageArchitecture::X86 && architecture <= ImageArchitecture::Arm64;
}

bool is64BitArchitecture(ImageArchitecture architecture) {
    return architecture == ImageArchitecture::X64 || architecture == ImageArchitecture::Arm64;
}

const wchar_t* architectureName(ImageArchitecture architecture) {
    const wchar_t* names[] = {L"architecture unknown: not a program image",
                              L"x86",
                              L"x64",
                              L"ARM64",
                              L"architecture unknown: the program cannot be opened",
                              L"architecture unknown: a machine other than x86, x64 and ARM64"};
    return names[static_cast<int>(architecture)];
}

} // namespace tarrow
