#include "BrandCommand.h"

#include <windows.h>

#include "Branding.h"
#include "Errors.h"
#include "FileSystem.h"
#include "SystemMessage.h"
#include "Text.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

// Far more than a launcher or an icon file weighs.
constexpr LONGLONG kMaxFileBytes = 256ll << 20;
constexpr DWORD kLongPathChars = 32768;
// Room for the 13 characters that GetTempFileNameW adds.
constexpr std::size_t kTempFolderChars = MAX_PATH - 14;

// Raises "<path> could not be <what>: <the system's text for the last error>".
[[noreturn]] void fail(const std::wstring& path, const wchar_t* what) {
    const DWORD error = GetLastError();
    throw TerminalError(path + L" could not be " + what + L": " + systemMessage(error));
}

Bytes readWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        fail(path, L"read");
    if (size.QuadPart > kMaxFileBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        fail(path, L"read");
    }
    Bytes bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
         got != bytes.size()))
        fail(path, L"read");
    return bytes;
}

std::wstring runningProgram() {
    std::wstring buffer(kLongPathChars, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongPathChars);
    if (length == 0 || length >= kLongPathChars)
        fail(L"the launcher's own file", L"found");
    buffer.resize(length);
    return buffer;
}

// A file being written beside its final place; removed unless it was moved there.
class PendingFile {
  public:
    explicit PendingFile(std::wstring path) : path_(std::move(path)) {}
    ~PendingFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::wstring& path() const { return path_; }

    void moveTo(const std::wstring& target) {
        if (!MoveFileExW(path_.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            fail(target, L"written");
        path_.clear();
    }

  private:
    std::wstring path_;
};

void writeAll(const std::wstring& path, const Bytes& bytes, const std::wstring& target) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get()))
        fail(target, L"written");
}

// Writes `bytes` to a new file in `target`'s folder, then moves it to `target`.
void writeInPlace(const std::wstring& target, const Bytes& bytes) {
    const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
    wchar_t name[MAX_PATH];
    if (folder.size() >= kTempFolderChars) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE); // the name beside it would not fit
        fail(target, L"written");
    }
    if (GetTempFileNameW(folder.c_str(), L"kiv", 0, name) == 0)
        fail(target, L"written");
    PendingFile pending(name);
    writeAll(pending.path(), bytes, target);
    pending.moveTo(target);
}

// One line on standard output: through the console when it is one, else as UTF-8 bytes.
void printLine(const std::wstring& line) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string text = toUtf8(line);
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

int runBrand(const std::vector<std::wstring>& argv) {
    const BrandRequest request = parseBrandRequest(argv);
    const std::wstring program = runningProgram();
    const std::wstring target = fullPath(request.output);
    if (equalsIgnoreCase(target, fullPath(program)))
        throw TerminalError(L"the launcher cannot brand itself in place: name another program");
    std::vector<IconImage> icons;
    if (request.icon)
        icons = readIconFile(readWholeFile(*request.icon), *request.icon);
    writeInPlace(target, brandedImage(readWholeFile(program), request, icons));
    printLine(L"branded copy written to " + target + L"\r\n");
    return 0;
}

} // namespace tarrow
