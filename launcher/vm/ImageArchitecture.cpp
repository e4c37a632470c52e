#include "ImageArchitecture.h"

namespace tarrow {

ImageMachine machineArchitecture(std::uint16_t machine) {
    switch (machine) {
    case 0x14C:
        return {ImageArchitecture::X86, {}};
    case 0x8664:
        return {ImageArchitecture::X64, {}};
    case 0xAA64:
    case 0xA641:
        return {ImageArchitecture::Arm64, {}};
    default: {
        const wchar_t digits[] = L"0123456789ABCDEF";
        std::wstring hex;
        for (int shift = 12; shift >= 0; shift -= 4)
            hex += digits[(machine >> shift) & 0xF];
        return {ImageArchitecture::Unknown, L"machine 0x" + hex};
    }
    }
}

bool is64BitArchitecture(ImageArchitecture architecture) {
    return architecture == ImageArchitecture::X64 || architecture == ImageArchitecture::Arm64;
}

const wchar_t* architectureName(ImageArchitecture architecture) {
    const wchar_t* names[] = {L"unknown", L"x86", L"x64", L"ARM64"};
    return names[static_cast<int>(architecture)];
}

std::wstring architectureText(const ImageMachine& machine) {
    if (machine.architecture == ImageArchitecture::Unknown)
        return L"architecture unknown: " + machine.unknownBecause;
    return architectureName(machine.architecture);
}

} // namespace tarrow
