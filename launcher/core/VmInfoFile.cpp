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
    // All lines in one write: the runtime may flush a text stream at every line end, and the
    // information file has a few hundred lines.
    std::string bytes;
    for (const auto& line : lines) {
        bytes += narrowLatin1(line);
        bytes += '\n';
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
}

void appendVmInfo(const std::vector<std::wstring>& lines) {
    appendLines(vmInfoFilePath(), lines);
}

} // namespace tarrow
