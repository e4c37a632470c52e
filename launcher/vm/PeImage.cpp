#include "PeImage.h"

#include <windows.h>

#include "UniqueHandle.h"

namespace tarrow {

bool isAmd64Image(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    IMAGE_FILE_HEADER header = {};
    if (!ReadFile(file.get(), &signature, sizeof signature, &got, nullptr) ||
        got != sizeof signature || signature != IMAGE_NT_SIGNATURE)
        return false;
    WORD magic = 0;
    if (!ReadFile(file.get(), &header, sizeof header, &got, nullptr) || got != sizeof header ||
        !ReadFile(file.get(), &magic, sizeof magic, &got, nullptr) || got != sizeof magic)
        return false;
    return header.Machine == IMAGE_FILE_MACHINE_AMD64 && magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
}

} // namespace tarrow
