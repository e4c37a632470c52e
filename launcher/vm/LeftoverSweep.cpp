#include "LeftoverSweep.h"

#include <windows.h>

#include <optional>
#include <string>

#include "LaunchFileContent.h"
#include "OwnerProcess.h"
#include "TemporaryFile.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

// No file of the launcher's is larger (an information file with a very large environment).
constexpr DWORD kLargestOwnFile = 16 * 1024 * 1024;
// An owner record is one short line.
constexpr DWORD kLargestOwnerRecord = 64;
// Last written when a sweep went through the whole folder. Not "kiv*.tmp": the listing never
// meets it.
const wchar_t kSweepStamp[] = L"kiv-swept.stamp";
// Readers, writers and removers of the stamp never keep one another out.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ULONGLONG ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool isCandidate(const WIN32_FIND_DATAW& found, ULONGLONG now) {
    return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.nFileSizeHigh == 0 &&
           found.nFileSizeLow <= kLargestOwnFile && now > ticks(found.ftLastWriteTime) &&
           now - ticks(found.ftLastWriteTime) > kLaunchFileLifetime;
}

std::string readWhole(HANDLE file, DWORD size) {
    std::string content(size, '\0');
    DWORD read = 0;
    if (size > 0 && (!ReadFile(file, content.data(), size, &read, nullptr) || read != size))
        return std::string(); // nothing to judge: left alone
    return content;
}

// Deletion is not shared: a file that a running launch holds open fails to open here. A file is
// judged and marked for deletion through the same handle, so that it cannot be replaced in
// between.
UniqueHandle openToJudge(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool markForDeletion(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

// What the sweep knows of a launch file's owner, and the owner record it read it from (open,
// to be removed with the file).
struct Owner {
    OwnerState state = OwnerState::Unknown;
    UniqueHandle record;
};

OwnerState stateOf(const std::optional<LaunchOwner>& owner) {
    return owner ? ownerState(*owner) : OwnerState::Unknown;
}

// The owner that the record beside the launch file at `path` names. A record that a running
// launch holds open (deletion not shared) counts as a running owner; a missing, unreadable or
// foreign one (a folder, a record denied to this user) leaves the file to be judged by its age.
Owner recordedOwner(const std::wstring& path) {
    const std::wstring recordPath = ownerRecordPath(path);
    Owner owner;
    if (recordPath.empty())
        return owner;
    owner.record = openToJudge(recordPath);
    if (!owner.record) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            owner.state = OwnerState::Running;
        return owner;
    }
    char text[kLargestOwnerRecord + 1];
    DWORD read = 0;
    const auto named = ReadFile(owner.record.get(), text, sizeof text, &read, nullptr)
                           ? parseOwnerRecord(std::string_view(text, read))
                           : std::nullopt;
    owner.state = stateOf(named);
    if (!named)
        owner.record.reset(); // not a record of the launcher's: it stays
    return owner;
}

void sweepFile(const std::wstring& path, DWORD size, ULONGLONG age) {
    UniqueHandle file = openToJudge(path);
    if (!file)
        return;
    const std::string content = readWhole(file.get(), size);
    const LaunchFileKind kind = launchFileKind(content);
    if (kind == LaunchFileKind::Foreign)
        return;
    // An owner record names its owner itself.
    Owner owner;
    if (kind == LaunchFileKind::OwnerRecord)
        owner.state = stateOf(parseOwnerRecord(content));
    else
        owner = recordedOwner(path);
    if (!sweepsLaunchFile(age, owner.state))
        return; // its owner still runs
    if (!markForDeletion(file.get())) {
        trace(L"leftover " + path + L" not swept (error " + decimal(GetLastError()) + L")");
        return;
    }
    trace(L"swept leftover " + path);
    if (owner.record)
        markForDeletion(owner.record.get());
}

// Whether the stamp says that a whole sweep ended less than a day before `now`. A stamp that
// cannot be read, is a folder, or lies ahead of `now` (the clock was set back), says nothing.
bool sweptWithinADay(const std::wstring& stamp, ULONGLONG now) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(stamp.c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           now >= ticks(data.ftLastWriteTime) &&
           now - ticks(data.ftLastWriteTime) < kLaunchFileLifetime;
}

// Records a whole sweep that began at `begun`; a stamp that cannot be written leaves every launch
// to sweep.
void stampSweep(const std::wstring& stamp, const FILETIME& begun) {
    UniqueHandle file(CreateFileW(stamp.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        SetFileTime(file.get(), nullptr, nullptr, &begun);
}

} // namespace

void sweepLeftovers() {
    const std::wstring folder = temporaryFolder();
    if (folder.empty())
        return;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = ticks(nowTime);
    const std::wstring stamp = folder + kSweepStamp;
    if (sweptWithinADay(stamp, now))
        return;
    WIN32_FIND_DATAW found;
    UniqueFindHandle listing(FindFirstFileExW((folder + L"kiv*.tmp").c_str(), FindExInfoBasic,
                                              &found, FindExSearchNameMatch, nullptr,
                                              FIND_FIRST_EX_LARGE_FETCH));
    if (listing) {
        do {
            if (isCandidate(found, now))
                sweepFile(folder + found.cFileName, found.nFileSizeLow,
                          now - ticks(found.ftLastWriteTime));
        } while (FindNextFileW(listing.get(), &found));
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return; // the folder could not be listed: the next launch tries again
    }
    // Only now: a sweep cut short (the launch killed) leaves the next launch to sweep.
    stampSweep(stamp, nowTime);
}

void BackgroundSweep::start() {
    // Within a day of the last whole sweep there is nothing to do, and no thread is worth its
    // start.
    const std::wstring folder = temporaryFolder();
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (folder.empty() || sweptWithinADay(folder + kSweepStamp, ticks(now)))
        return;
    thread_.reset(CreateThread(nullptr, 0, &BackgroundSweep::run, nullptr, 0, nullptr));
    if (!thread_)
        sweepLeftovers(); // no thread to spare: the sweep runs here, as it must run
}

DWORD WINAPI BackgroundSweep::run(void*) {
    // Nothing raised may leave the thread: a sweep that ran out of memory leaves the rest for a
    // later launch.
    try {
        sweepLeftovers();
    } catch (...) {
    }
    return 0;
}

void BackgroundSweep::finish() noexcept {
    if (thread_)
        WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}

} // namespace tarrow
