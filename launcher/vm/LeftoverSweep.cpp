#include "LeftoverSweep.h"

#include <windows.h>

#include <string>

#include "LaunchFileContent.h"
#include "TemporaryFile.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

// A day in the 100-nanosecond units of a FILETIME.
constexpr ULONGLONG kDay = 24ULL * 60 * 60 * 10000000;
// No file of the launcher's is larger (an information file with a very large environment).
constexpr DWORD kLargestOwnFile = 16 * 1024 * 1024;

ULONGLONG ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool isCandidate(const WIN32_FIND_DATAW& found, ULONGLONG now) {
    return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.nFileSizeHigh == 0 &&
           found.nFileSizeLow <= kLargestOwnFile && now > ticks(found.ftLastWriteTime) &&
           now - ticks(found.ftLastWriteTime) > kDay;
}

std::string readWhole(HANDLE file, DWORD size) {
    std::string content(size, '\0');
    DWORD read = 0;
    if (size > 0 && (!ReadFile(file, content.data(), size, &read, nullptr) || read != size))
        return std::string(); // nothing to judge: left alone
    return content;
}

void sweepFile(const std::wstring& path, DWORD size) {
    // Deletion is not shared: a file that a running launch holds open fails to open here. The
    // file is judged and marked for deletion through the same handle, so that it cannot be
    // replaced in between.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    const LaunchFileKind kind = launchFileKind(readWhole(file.get(), size));
    if (kind == LaunchFileKind::Foreign)
        return;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                   sizeof disposition))
        trace(L"swept leftover " + std::wstring(launchFileKindName(kind)) + L" " + path);
    else
        trace(L"leftover " + path + L" not swept (error " + decimal(GetLastError()) + L")");
}

} // namespace

void sweepLeftovers() {
    const std::wstring folder = temporaryFolder();
    if (folder.empty())
        return;
    WIN32_FIND_DATAW found;
    UniqueFindHandle listing(FindFirstFileExW((folder + L"kiv*.tmp").c_str(), FindExInfoBasic,
                                              &found, FindExSearchNameMatch, nullptr,
                                              FIND_FIRST_EX_LARGE_FETCH));
    if (!listing)
        return;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = ticks(nowTime);
    do {
        if (isCandidate(found, now))
            sweepFile(folder + found.cFileName, found.nFileSizeLow);
    } while (FindNextFileW(listing.get(), &found));
}

} // namespace tarrow
