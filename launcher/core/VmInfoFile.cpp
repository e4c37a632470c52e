#include "VmInfoFile.h"

#include <windows.h>

#include "FileSystem.h"
#include "TemporaryFile.h"
#include "Text.h"

namespace tarrow {

const std::wstring& vmInfoFilePath() {
    static const std::wstring path = newTemporaryFile();
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
