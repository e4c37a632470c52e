#include "PeImage.h"

#include <windows.h>

#include <cstddef>

#include "UniqueHandle.h"

namespace tarrow {

namespace {

// The COFF file header and the start of the optional header of a PE image, up to and with its
// Subsystem field (at the same offset in 32- and 64-bit images).
struct ImageHeaders {
    IMAGE_FILE_HEADER file;
    WORD magic;
    BYTE fields[66];
    WORD subsystem;
};
static_assert(offsetof(ImageHeaders, subsystem) == sizeof(IMAGE_FILE_HEADER) + 68,
              "Subsystem lies 68 bytes into the optional header");

// Reads the headers; false when the file is no PE image or cannot be read, with `opened` false
// when it could not even be opened.
bool readImageHeaders(const std::wstring& path, ImageHeaders& headers, bool& opened) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    opened = static_cast<bool>(file);
    if (!file)
        return false;
    IMAGE_DOS_HEADER dos = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), &dos, sizeof dos, &got, nullptr) || got != sizeof dos ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return false;
    if (SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    DWORD signature = 0;
    if (!ReadFile(file.get(), &signature, sizeof signature, &got, nullptr) ||
        got != sizeof signature || signature != IMAGE_NT_SIGNATURE)
        return false;
    return ReadFile(file.get(), &headers, sizeof headers, &got, nullptr) && got == sizeof headers;
}

} // namespace

ImageArchitecture imageArchitecture(const std::wstring& path) {
    ImageHeaders headers = {};
    bool opened = true;
    if (readImageHeaders(path, headers, opened))
        return machineArchitecture(headers.file.Machine);
    return opened ? ImageArchitecture::NoImage : ImageArchitecture::Unopened;
}

bool isWindowsSubsystemImage(const std::wstring& path) {
    ImageHeaders headers = {};
    bool opened = true;
    return readImageHeaders(path, headers, opened) &&
           headers.subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

} // namespace tarrow
