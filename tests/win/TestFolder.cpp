#include "TestFolder.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "PathString.h"

namespace tarrow::test {

namespace {

// Removes a folder and everything in it, deepest first. Only absolute paths are touched, and
// through the "\\?\" form, so that paths of any length are removed whole (the shell's own tree
// removal mishandles long paths and must never be pointed at a test's folders). Links to
// folders are removed, never followed.
void removeTree(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\')
        return;
    const std::wstring folder = L"\\\\?\\" + path;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = folder + L"\\" + name;
            const DWORD attributes = entry.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveDirectoryW(child.c_str()); // a link: its target is never entered
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child.substr(4));
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

TestFolder::TestFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path_ = std::wstring(temp) + L"tarrow-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    removeTree(path_);
}

std::wstring TestFolder::operator/(const std::wstring& relative) const {
    return path_ + L"\\" + relative;
}

std::wstring TestFolder::makeFolder(const std::wstring& relative) const {
    std::wstring current = path_;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find(L'\\', start);
        if (end == std::wstring::npos)
            end = relative.size();
        current += L"\\" + relative.substr(start, end - start);
        CreateDirectoryW(current.c_str(), nullptr);
        start = end + 1;
    }
    return current;
}

std::wstring TestFolder::write(const std::wstring& relative, const std::string& contents) const {
    if (relative.find(L'\\') != std::wstring::npos)
        makeFolder(parent(relative));
    const std::wstring file = *this / relative;
    FILE* out = _wfopen(file.c_str(), L"wb");
    if (!out)
        throw std::runtime_error("cannot create test file");
    std::fwrite(contents.data(), 1, contents.size(), out);
    std::fclose(out);
    return file;
}

std::wstring TestFolder::copyStandin(const std::wstring& standin,
                                     const std::wstring& relative) const {
    wchar_t directory[MAX_PATH];
    GetEnvironmentVariableW(L"KIV_STANDIN_DIR", directory, MAX_PATH);
    if (relative.find(L'\\') != std::wstring::npos)
        makeFolder(parent(relative));
    const std::wstring target = *this / relative;
    const std::wstring source = std::wstring(directory) + L"\\" + standin + L".exe";
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        throw std::runtime_error("cannot copy stand-in");
    return target;
}

std::string readFile(const std::wstring& path) {
    FILE* in = _wfopen(path.c_str(), L"rb");
    if (!in)
        return std::string();
    std::string contents;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        contents.append(buffer, got);
    std::fclose(in);
    return contents;
}

} // namespace tarrow::test
