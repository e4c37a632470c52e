#include "FileSystem.h"

#include <fcntl.h>
#include <io.h>

#include <vector>

#include "Errors.h"
#include "PathString.h"
#include "Text.h"

namespace tarrow {

namespace {

const wchar_t kCouldNotOpen[] = L"windows could not open the file specified";
const wchar_t kCouldNotOpenForRead[] = L"could not open file for read";
const wchar_t kCouldNotWrite[] = L"windows could not write the file specified";
const wchar_t kCouldNotChangeTo[] = L"windows could not change to the folder specified";

// Hands a file handle to a C stream; on success the stream owns the handle.
UniqueStdioFile streamFromHandle(UniqueHandle handle, int flags, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), flags);
    if (fd == -1)
        return UniqueStdioFile();
    handle.release();
    FILE* stream = _fdopen(fd, mode);
    if (!stream)
        _close(fd);
    return UniqueStdioFile(stream);
}

} // namespace

std::wstring longPathName(const std::wstring& path) {
    // A long form cannot fit the buffer when the input does not; some implementations of the
    // call also misbehave on such inputs, so it is not made at all.
    if (path.size() >= kPathBufferChars)
        return path;
    wchar_t buffer[kPathBufferChars];
    const DWORD length = GetLongPathNameW(path.c_str(), buffer, kPathBufferChars);
    if (length == 0 || length >= kPathBufferChars)
        return path;
    return std::wstring(buffer, length);
}

std::wstring normalise(const std::wstring& text) {
    const std::wstring collapsed = collapseSeparators(text);
    return contains(collapsed, L"~") ? longPathName(collapsed) : collapsed;
}

std::wstring fullPath(const std::wstring& text, FullPathOptions options) {
    if (options.keepSlashPrefixed && startsWith(text, L"/"))
        return text;
    wchar_t buffer[kPathBufferChars];
    const DWORD length = GetFullPathNameW(text.c_str(), kPathBufferChars, buffer, nullptr);
    if (length == 0 || length >= kPathBufferChars)
        return text;
    std::wstring result(buffer, length);
    if (options.longForm && contains(result, L"~"))
        result = longPathName(result);
    return result;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isNonEmptyFile(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (data.nFileSizeLow != 0 || data.nFileSizeHigh != 0);
}

std::wstring currentDirectory() {
    // The directory may be longer than a classic path; the buffer is sized from what Windows
    // reports, and asked again if the directory changed in between.
    std::vector<wchar_t> buffer(kPathBufferChars);
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length);
    }
}

void changeDirectory(const std::wstring& folder) {
    if (!SetCurrentDirectoryW(folder.c_str()))
        throw FileException(kCouldNotChangeTo, folder);
}

UniqueStdioFile openForRead(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw FileException(kCouldNotOpen, path);
    UniqueStdioFile stream = streamFromHandle(std::move(file), _O_RDONLY | _O_TEXT, "r");
    if (!stream)
        throw FileException(kCouldNotOpenForRead, path);
    return stream;
}

namespace {

UniqueHandle openForAppend(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes every byte at the end of the file; the Windows error when that fails.
DWORD writeAtEnd(HANDLE file, const std::string& bytes) {
    const LARGE_INTEGER none = {};
    if (!SetFilePointerEx(file, none, nullptr, FILE_END))
        return GetLastError();
    // A write may stop short (a file-size limit): the rest goes in another, which then fails.
    size_t at = 0;
    while (at < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_DISK_FULL;
        at += written;
    }
    return ERROR_SUCCESS;
}

} // namespace

DWORD appendToFileStatus(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file = openForAppend(path);
    return file ? writeAtEnd(file.get(), bytes) : GetLastError();
}

void appendToFile(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file = openForAppend(path);
    if (!file)
        throw FileException(kCouldNotOpen, path);
    if (writeAtEnd(file.get(), bytes) != ERROR_SUCCESS)
        throw FileException(kCouldNotWrite, path);
}

std::string readAll(FILE* stream) {
    std::string contents;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        contents.append(buffer, got);
    return contents;
}

} // namespace tarrow
