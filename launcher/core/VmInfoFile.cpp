#include "VmInfoFile.h"

#include <windows.h>

#include "FileSystem.h"
#include "PropertiesSyntax.h"
#include "TemporaryFile.h"

namespace tarrow {

const std::wstring& vmInfoFilePath() {
    static const std::wstring path = newTemporaryFile();
    return path;
}

void appendLines(const std::wstring& file, const std::vector<std::wstring>& lines) {
    // All lines go out in one write: a text stream would write its line-end translation in
    // small pieces, each one a system call.
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string bytes;
    bytes.reserve(total);
    for (const auto& line : lines)
        appendInfoFileLine(bytes, line);
    appendToFile(file, bytes);
}

void appendVmInfo(const std::vector<std::wstring>& lines) {
    appendLines(vmInfoFilePath(), lines);
}

} // namespace tarrow
