#include "VmPackLock.h"

#include <windows.h>

#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

constexpr DWORD kPollMilliseconds = 200;
// A lock file being deleted by the launch that released it refuses access for a moment, and
// the folder of the lock can be removed by that launch just then: both are tried again.
constexpr int kRetries = 25;
// A lock file that does not exist yet but cannot be made (a read-only folder) is tried only a
// few times.
constexpr int kDeniedRetries = 5;
// The longest wait for another launch's lock: a download can take minutes, but a launch that
// hangs, or a lock file held open by another user, must not keep this launch waiting forever.
constexpr DWORD kLongestWaitMilliseconds = 15 * 60 * 1000;

// Which folder stands at `path`: its volume and file index, all zero when there is none.
struct FolderIdentity {
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const FolderIdentity& other) const {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

FolderIdentity identityOf(const std::wstring& path) {
    FolderIdentity identity;
    UniqueHandle folder(CreateFileW(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (folder && GetFileInformationByHandle(folder.get(), &information)) {
        identity.volume = information.dwVolumeSerialNumber;
        identity.high = information.nFileIndexHigh;
        identity.low = information.nFileIndexLow;
    }
    return identity;
}

bool isReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Opens the lock file without sharing, with the right to delete it on release; the link itself,
// never the file it names, when it is one.
HANDLE openLockFile(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A lock file may be used only when it is a plain file with no other name: never a link, never
// a hard link to a file elsewhere, which its release would delete.
bool usableLockFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileInformationByHandle(file, &information) &&
           !isReparsePoint(information.dwFileAttributes) && information.nNumberOfLinks == 1;
}

// True when a folder below `base` down to `folder` is a link: the lock file is then never
// made or opened, nor a folder made, through it.
bool linkOnTheWay(const std::wstring& base, const std::wstring& folder) {
    for (size_t at = folder.find_first_of(L"\\/", base.size() + 1);;
         at = folder.find_first_of(L"\\/", at + 1)) {
        if (isReparsePoint(GetFileAttributesW(folder.substr(0, at).c_str())))
            return true;
        if (at == std::wstring::npos)
            return false;
    }
}

bool missing(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace

VmPackLock::VmPackLock(const std::wstring& base, const std::wstring& folder) {
    std::wstring target = folder;
    while (!target.empty() && (target.back() == L'\\' || target.back() == L'/'))
        target.pop_back();
    if (target.empty())
        return;
    const std::wstring path = target + L".lock";
    FolderIdentity before;
    bool waiting = false;
    const std::wstring parent = target.substr(0, target.find_last_of(L"\\/") + 1);
    DWORD waitBegan = 0;
    for (int retries = 0;;) {
        // Checked before the open as well: Wine follows a Unix symbolic link whatever the flags.
        const bool link = linkOnTheWay(base, parent.substr(0, parent.size() - 1)) ||
                          isReparsePoint(GetFileAttributesW(path.c_str()));
        UniqueHandle file(link ? nullptr : openLockFile(path));
        const DWORD error = GetLastError();
        if (link || (file && !usableLockFile(file.get()))) {
            trace(L"VM pack lock " + path + L": a link, not used");
            return;
        }
        if (file) {
            file_ = std::move(file);
            break;
        }
        if (error == ERROR_PATH_NOT_FOUND && !parent.empty() && ++retries < kRetries) {
            // The folder the pack would make for the VM: made here, removed again when empty.
            if (CreateDirectoryW(parent.c_str(), nullptr))
                createdFolder_ = parent;
            continue;
        }
        if (error == ERROR_ACCESS_DENIED &&
            ++retries < (missing(path) ? kDeniedRetries : kRetries)) {
            Sleep(kPollMilliseconds / 4);
            continue;
        }
        if (error != ERROR_SHARING_VIOLATION) {
            trace(L"VM pack lock " + path + L": error " + decimal(static_cast<long long>(error)) +
                  L", not used");
            return;
        }
        if (!waiting) {
            before = identityOf(target);
            waiting = true;
            waitBegan = GetTickCount();
            trace(L"VM pack lock " + path + L" held by another launch: waiting");
        } else if (GetTickCount() - waitBegan >= kLongestWaitMilliseconds) {
            trace(L"VM pack lock " + path + L" still held after the longest wait, not used");
            return;
        }
        retries = 0;
        Sleep(kPollMilliseconds);
    }
    replaced_ = waiting && !(identityOf(target) == before);
    if (waiting)
        trace(replaced_ ? L"VM pack lock taken, the VM folder replaced meanwhile"
                        : L"VM pack lock taken");
}

VmPackLock::~VmPackLock() {
    // Deleted through the handle that was checked, never by its name, which may name another
    // file by now.
    if (file_) {
        FILE_DISPOSITION_INFO disposition = {};
        disposition.DeleteFile = TRUE;
        if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                        sizeof disposition))
            trace(L"VM pack lock not deleted: error " +
                  decimal(static_cast<long long>(GetLastError())));
    }
    file_.reset();
    if (!createdFolder_.empty())
        RemoveDirectoryW(createdFolder_.c_str());
}

} // namespace tarrow
