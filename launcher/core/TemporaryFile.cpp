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
// Names tried for a launch file whose owner record is not already there.
constexpr int kNameAttempts = 4;

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

TemporaryFile::TemporaryFile(std::wstring path)
    : path_(std::move(path)),
      // Read access with writing shared: readers and the launcher's own appends may open it,
      // deleting it fails while this handle is open.
      held_(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    const std::optional<LaunchOwner> owner = launchOwnerOf(GetCurrentProcessId());
    const std::wstring ownerPath = ownerRecordPath(path_);
    if (!owner || ownerPath.empty())
        return;
    // A new file only: a name that exists is another's (or a killed launch's) and stays theirs.
    // Deletion is not shared, as for the file itself.
    ownerRecord_.reset(CreateFileW(ownerPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = ownerRecord_ ? ERROR_SUCCESS : GetLastError();
    foreignRecord_ = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    recordOwner(*owner); // without a record the file is judged by its age alone
}

void TemporaryFile::recordOwner(const LaunchOwner& owner) {
    if (!ownerRecord_)
        return;
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
    // Names given up stay taken until a new one is found, so that none is given again; they go
    // when this returns.
    std::unique_ptr<TemporaryFile> givenUp[kNameAttempts];
    for (auto& previous : givenUp) {
        std::wstring name = newTemporaryFile();
        if (name.empty())
            return nullptr;
        std::unique_ptr<TemporaryFile> file(new TemporaryFile(std::move(name)));
        if (!file->foreignRecord_)
            return file;
        trace(L"owner record of " + file->path_ + L" exists: another name");
        previous = std::move(file);
    }
    return nullptr;
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
