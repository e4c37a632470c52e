#include "VmInfoFile.h"

#include <windows.h>

#include <memory>

#include "Errors.h"
#include "FileSystem.h"
#include "PropertiesSyntax.h"
#include "TemporaryFile.h"
#include "Text.h"

namespace tarrow {

namespace {

// The file of this process, from its creation until it is discarded. The slot itself is never
// destroyed: a file not yet discarded when the process ends stays where it is, as a file of a
// killed launch would, and is not removed under a VM that may still read it.
std::unique_ptr<TemporaryFile>& infoFile() {
    static auto* const file = new std::unique_ptr<TemporaryFile>();
    return *file;
}

} // namespace

const std::wstring& vmInfoFilePath() {
    static const std::wstring path = [] {
        infoFile() = TemporaryFile::create();
        return infoFile() ? infoFile()->path() : std::wstring();
    }();
    return path;
}

void appendVmInfoBytes(const std::string& bytes) {
    const std::wstring& path = vmInfoFilePath();
    if (path.empty())
        throw FileException(L"windows could not open the file specified", path);
    const DWORD error = appendToFileStatus(path, bytes);
    if (error != ERROR_SUCCESS)
        throw TerminalError(L"Windows error " + decimal(error) +
                            L" occurred while writing the VM information file " + path);
}

void appendVmInfo(const std::vector<std::wstring>& lines) {
    // All lines go out in one write: a text stream would write its line-end translation in
    // small pieces, each one a system call.
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string bytes;
    bytes.reserve(total);
    for (const auto& line : lines)
        appendInfoFileLine(bytes, line);
    appendVmInfoBytes(bytes);
}

void recordVmInfoFileOwner(const LaunchOwner& owner) {
    if (infoFile())
        infoFile()->recordOwner(owner);
}

void discardVmInfoFile(bool keep, const std::optional<LaunchOwner>& heir) {
    std::unique_ptr<TemporaryFile> file = std::move(infoFile());
    if (file && keep)
        file->keep(heir);
}

} // namespace tarrow
