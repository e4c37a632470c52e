#include "VmPackExtraction.h"

#include <windows.h>

#include "ArchiveExtraction.h"
#include "EarlyExtraction.h"
#include "FileSystem.h"
#include "PackProgress.h"
#include "PathString.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"
#include "ZipReader.h"

namespace tarrow {

namespace {

using UniqueFindHandle = UniqueAny<HANDLE, &::FindClose>;

// Extracts every entry of the archive (or of the archive that fills the window of the file)
// below `base`, but those `early` wrote there alike; false at the first entry that cannot be
// read, is damaged or cannot be written. Only entries whose names leave nothing inside the
// folder are skipped.
bool extractArchive(const std::wstring& path, FileWindow window, const std::wstring& base,
                    const EarlyEntries* early) {
    std::unique_ptr<ZipReader> reader = ZipReader::open(path, window);
    ArchiveEntries listed;
    if (!reader)
        return false;
    if (!listEntries(*reader, base, listed, early)) {
        if (!listed.earlyRejected)
            return false;
        trace(L"the entries written as the pack arrived differ from its directory: all of them "
              L"are written again");
        listed = ArchiveEntries();
        if (!freshFolder(base) || !listEntries(*reader, base, listed))
            return false;
    }
    return extractEntries(path, window, *reader, listed, base);
}

// What stands at a path, as far as removing or moving it goes.
enum class Found { Nothing, Link, Folder, Other };

// A directory that is a reparse point is a link (a junction or a directory symbolic link; Wine
// shows a Unix symbolic link so): it is removed as a link, never listed, emptied or moved.
Found foundAt(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Found::Nothing;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Found::Other;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Found::Link : Found::Folder;
}

// Removes the link itself, never what it points to; true when nothing is left at its place.
bool removeLink(const std::wstring& link) {
    const DWORD error = RemoveDirectoryW(link.c_str()) ? ERROR_SUCCESS : GetLastError();
    const bool removed = error == ERROR_SUCCESS && !exists(link);
    trace(
        L"link " + link +
        (removed ? L" removed" : L" not removed: error " + decimal(static_cast<long long>(error))));
    return removed;
}

// Opens a folder to be emptied, the link itself when it is one. Deletion is not shared, so that
// the folder cannot be renamed or replaced by a link while it is held.
UniqueHandle holdFolder(const std::wstring& folder) {
    return UniqueHandle(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
}

// What the held handle is: a folder, a link, or (also when it cannot be told) something else.
Found foundOn(HANDLE held) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!held || !GetFileInformationByHandle(held, &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Found::Other;
    return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Found::Link
                                                                         : Found::Folder;
}

// Removes a file or an empty folder; its attributes are cleared only when it refuses (read-only),
// so that a file that has another name elsewhere keeps them otherwise.
void removeEntry(const std::wstring& path, bool folder) {
    const auto remove = folder ? &RemoveDirectoryW : &DeleteFileW;
    if (remove(path.c_str()) || GetLastError() != ERROR_ACCESS_DENIED)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    remove(path.c_str());
}

bool move(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return true;
    trace(L"moving " + from + L" to " + to + L" failed with error " +
          decimal(static_cast<long long>(GetLastError())));
    return false;
}

// Puts the complete VM in `fresh` at `target`: an earlier VM there is moved aside, the new one
// moved in, then the earlier one deleted. When the new one cannot be moved in, the earlier one
// is moved back, so that `target` always holds one whole VM. A link at `target` is removed, not
// moved: the new VM takes its place as a real folder.
bool moveIntoPlace(const std::wstring& fresh, const std::wstring& target) {
    const std::wstring aside = target + L".old";
    if (!removeTree(aside))
        return false;
    Found earlierVm = foundAt(target);
    if (earlierVm == Found::Link) {
        if (!removeLink(target))
            return false;
        earlierVm = Found::Nothing;
    }
    const bool earlier = earlierVm != Found::Nothing;
    if (earlier && !move(target, aside))
        return false;
    if (!move(fresh, target)) {
        if (earlier)
            move(aside, target);
        return false;
    }
    if (earlier && !removeTree(aside))
        trace(L"the replaced VM in " + aside + L" could not be deleted");
    return true;
}

std::wstring withoutSeparator(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

// Unpacks the inner archive beside the target folder, where `early` may have written some of
// it, and moves it into place whole.
bool installVm(const std::wstring& inner, FileWindow window, const std::wstring& targetFolder,
               const EarlyEntries* early) {
    const std::wstring target = withoutSeparator(targetFolder);
    const std::wstring fresh = target + L".new";
    if (early && (early->folder != fresh || early->archiveAt != window.offset))
        early = nullptr; // written from another member, or into another folder
    if (target.empty() || (!early && !freshFolder(fresh)))
        return false;
    if (extractArchive(inner, window, fresh, early) && moveIntoPlace(fresh, target))
        return true;
    removeTree(fresh);
    return false;
}

// Takes the pack's "vm.zip" out of the members to unpack when it is stored as it is, and gives
// where its data lies in the pack: it is then read there, never copied. Of several members by
// that name, the last one counts, as it would when each were written over the one before.
bool takeStoredVmZip(ZipReader& pack, ArchiveEntries& members, FileWindow& where) {
    auto last = members.files.end();
    for (auto member = members.files.begin(); member != members.files.end(); ++member) {
        ZipEntry entry;
        if (pack.item(*member, entry) == kZipOk && equalsIgnoreCase(entry.name, L"vm.zip") &&
            (last == members.files.end() || *member > *last))
            last = member;
    }
    if (last == members.files.end() || !pack.storedData(*last, where))
        return false;
    members.files.erase(last);
    return true;
}

} // namespace

bool removeTree(const std::wstring& folder) {
    switch (foundAt(folder)) {
    case Found::Nothing:
        return true;
    case Found::Link:
        return removeLink(folder);
    case Found::Other:
        return false;
    case Found::Folder:
        break;
    }
    UniqueHandle held = holdFolder(folder);
    switch (foundOn(held.get())) {
    case Found::Link:
        held.reset();
        return removeLink(folder);
    case Found::Folder:
        break;
    default:
        return false;
    }
    // A read-only folder is made writable first, so that its entries can be deleted; being held,
    // it is still the folder that was checked.
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (isFolder)
                RemoveDirectoryW(path.c_str());
            else
                DeleteFileW(path.c_str());
        } else if (isFolder) {
            removeTree(path);
        } else {
            removeEntry(path, false);
        }
    }
    search.reset();
    held.reset();
    removeEntry(folder, true);
    return !exists(folder);
}

bool freshFolder(const std::wstring& folder) {
    if (!removeTree(folder) || !createFolders(folder)) {
        trace(L"folder " + folder + L" cannot be made empty");
        return false;
    }
    return true;
}

bool extractVmPack(const std::wstring& pack, const std::wstring& target,
                   const EarlyEntries* early) {
    const std::wstring scratch = parent(pack, L".") + L"\\downloadIntermediary";
    // Whatever an earlier run left there (a vm.zip above all) must never stand in for this
    // pack's members.
    if (!freshFolder(scratch))
        return false;
    FileWindow inner;
    bool inPlace = false;
    {
        std::unique_ptr<ZipReader> outer = ZipReader::open(pack);
        ArchiveEntries members;
        if (!outer || !listEntries(*outer, scratch, members))
            return false;
        inPlace = takeStoredVmZip(*outer, members, inner);
        if (!extractEntries(pack, {}, *outer, members, scratch))
            return false;
    }
    if (inPlace) {
        trace(L"vm.zip is read where it lies in " + pack);
    } else if (!exists(scratch + L"\\vm.zip")) {
        return false;
    }
    if (!installVm(inPlace ? pack : scratch + L"\\vm.zip", inPlace ? inner : FileWindow{}, target,
                   inPlace ? early : nullptr))
        return false;
    removeIntermediary(scratch);
    return true;
}

void removeScratchFolder(const std::wstring& pack) {
    removeTree(parent(pack, L".") + L"\\downloadIntermediary");
}

void removeIntermediary(const std::wstring& folder) {
    if (foundAt(folder) == Found::Link) {
        removeLink(folder);
        return;
    }
    DeleteFileW((folder + L"\\vm.zip").c_str());
    DeleteFileW((folder + L"\\vm.properties").c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace tarrow
