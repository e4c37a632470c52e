#include "VmInfoFile.h"

#include <windows.h>

#include "FileSystem.h"
#include "Text.h"

namespace tarrow {

namespace {

// The temporary directory buffer leaves room for the 13 characters that GetTempFileNameW adds.
constexpr DWORD kTempDirectoryChars = MAX_PATH - 14;

std::wstring createVmInfoFile() {
    wchar_t directory[kTempDirectoryChars];
    const DWORD length = GetTempPathW(kTempDirectoryChars, directory);
    if (length == 0 || length >= kTempDirectoryChars)
        return std::wstring();
    wchar_t file[MAX_PATH];
    if (GetTempFileNameW(directory, L"kiv", 0, file) == 0)
        return std::wstring();
    return file;
}

} // namespace

const std::wstring& vmInfoFilePath() {
    static const std::wstring path = createVmInfoFile();
    return path;
}

void appendLines(const std::wstring& file, const std::vector<std::wstring>& lines) {
    UniqueStdioFile stream = openForAppend(file, "at");
    std::fseek(stream.get(), 0, SEEK_END);
    for (const auto& line : lines) {
        const std::string bytes = narrowLatin1(line);
        std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
        std::fputc('\n', stream.get());
    }
}

void appendVmInfo(const std::vector<std::wstring>& lines) {
    appendLines(vmInfoFilePath(), lines);
}

} // namespace tarrow
