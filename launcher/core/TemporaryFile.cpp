#include "TemporaryFile.h"

#include <windows.h>

#include "UniqueHandle.h"

namespace tarrow {

namespace {
// Room for the 13 characters that GetTempFileNameW adds.
constexpr DWORD kTempDirectoryChars = MAX_PATH - 14;
} // namespace

std::wstring newTemporaryFile() {
    wchar_t directory[kTempDirectoryChars];
    const DWORD length = GetTempPathW(kTempDirectoryChars, directory);
    if (length == 0 || length >= kTempDirectoryChars)
        return std::wstring();
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(directory, L"kiv", 0, name) == 0)
        return std::wstring();
    return name;
}

std::unique_ptr<TemporaryFile> TemporaryFile::write(const std::string& bytes) {
    const std::wstring name = newTemporaryFile();
    if (name.empty())
        return nullptr;
    std::unique_ptr<TemporaryFile> file(new TemporaryFile(name));
    UniqueHandle handle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY, nullptr));
    DWORD written = 0;
    if (!handle ||
        !WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
        written != bytes.size())
        return nullptr; // the file goes with its owner
    return file;
}

TemporaryFile::~TemporaryFile() {
    DeleteFileW(path_.c_str());
}

} // namespace tarrow
