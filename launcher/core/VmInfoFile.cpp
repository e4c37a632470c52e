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
    // Each line ends in CR LF, as a text stream writes it, and all go out in one write: a text
    // stream would write its line-end translation in small pieces, each one a system call, and
    // the information file has a few hundred lines.
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string bytes;
    bytes.reserve(total);
    for (const auto& line : lines) {
        appendLatin1(bytes, line);
        bytes += "\r\n";
    }
    appendToFile(file, bytes);
}

void appendVmInfo(const std::vector<std::wstring>& lines) {
    appendLines(vmInfoFilePath(), lines);
}

} // namespace tarrow
