#include "TemporaryFile.h"

#include <windows.h>

#include "FileSystem.h"
#include "OwnerProcess.h"
#include "TemporaryName.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

// Room for the 13 characters that GetTempFileNameW adds.
constexpr DWORD kTempDirectoryChars = MAX_PATH - 14;

std::optional<std::wstring> windowsTemporaryName(const std::wstring& folder) {
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), L"kiv", 0, name) == 0) {
        trace(L"no temporary file name from Windows (error " + decimal(GetLastError()) +
              L"): the launcher makes its own");
        return std::nullopt;
    }
    return std::wstring(name);
}

NameAttempt createNew(const std::wstring& path) {
    if (path.size() >= MAX_PATH)
        return NameAttempt::Failed;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return NameAttempt::Created;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NameAttempt::Exists
                                                                       : NameAttempt::Failed;
}

// Different for every process alive at once (its id) and for the same id over time.
std::uint64_t ownNameSeed() {
    return (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) | GetTickCount();
}

} // namespace

std::wstring temporaryFolder() {
    wchar_t directory[kTempDirectoryChars];
    const DWORD length = GetTempPathW(kTempDirectoryChars, directory);
    if (length == 0 || length >= kTempDirectoryChars)
        return std::wstring();
    return std::wstring(directory, length);
}

std::wstring newTemporaryFile() {
    const std::wstring folder = temporaryFolder();
    if (folder.empty())
        return std::wstring();
    return newTemporaryName(
               folder, ownNameSeed(), [&folder] { return windowsTemporaryName(folder); }, createNew)
        .value_or(std::wstring());
}

TemporaryFile::TemporaryFile()
    : path_(newTemporaryFile()),
      // Read access with writing shared: readers and the launcher's own appends may open it,
      // deleting it fails while this handle is open.
      held_(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

void TemporaryFile::recordOwner(const LaunchOwner& owner) {
    if (!ownerRecord_) {
        const std::wstring ownerPath = ownerRecordPath(path_);
        if (ownerPath.empty())
            return;
        // A record already at that name belongs to no live launch: a launch holds its record as
        // long as its file, whose name Windows gave this file. It is an orphan (or one whose
        // launch is removing it, which fails while this handle is open), and names this file's
        // owner from now on. Deletion is not shared, as for the file itself.
        ownerRecord_.reset(CreateFileW(ownerPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
        if (!ownerRecord_)
            return; // the file is judged by its age alone
    }
    // A record that cannot be written whole is no record (parseOwnerRecord): the file is then
    // judged by its age alone.
    const std::string text = ownerRecordText(owner);
    DWORD written = 0;
    SetFilePointer(ownerRecord_.get(), 0, nullptr, FILE_BEGIN);
    WriteFile(ownerRecord_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetEndOfFile(ownerRecord_.get());
}

void TemporaryFile::keep(const std::optional<LaunchOwner>& heir) {
    kept_ = true;
    if (heir)
        recordOwner(*heir);
}

std::unique_ptr<TemporaryFile> TemporaryFile::create() {
    std::unique_ptr<TemporaryFile> file(new TemporaryFile());
    if (file->path_.empty())
        return nullptr;
    return file;
}

std::unique_ptr<TemporaryFile> TemporaryFile::write(const std::string& bytes) {
    std::unique_ptr<TemporaryFile> file = create();
    if (!file)
        return nullptr;
    if (appendToFileStatus(file->path(), bytes) != ERROR_SUCCESS)
        return nullptr; // the file goes with its owner
    return file;
}

TemporaryFile::~TemporaryFile() {
    if (path_.empty())
        return; // no file was made
    held_.reset();
    const bool recorded = static_cast<bool>(ownerRecord_);
    ownerRecord_.reset();
    if (kept_) {
        trace(L"kept " + path_);
        return;
    }
    if (!DeleteFileW(path_.c_str())) {
        // The record stays with the file, which the sweep judges by it.
        trace(L"not removed " + path_ + L" (error " + decimal(GetLastError()) + L")");
        return;
    }
    trace(L"removed " + path_);
    if (recorded)
        DeleteFileW(ownerRecordPath(path_).c_str());
}

} // namespace tarrow
