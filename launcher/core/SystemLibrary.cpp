#include "SystemLibrary.h"

#include "SystemFunction.h"
#include "Wow64.h"

namespace tarrow {

namespace {

// A folder as Windows wrote it into `buffer`, without a trailing separator; empty when the call
// failed or the buffer was too small.
std::wstring folderFromBuffer(const wchar_t* buffer, UINT length) {
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(buffer, length);
    if (folder.back() == L'\\' || folder.back() == L'/')
        folder.pop_back();
    return folder;
}

} // namespace

std::wstring systemWow64Folder() {
    using GetSystemWow64DirectoryWFn = UINT(WINAPI*)(LPWSTR, UINT);
    const auto get = lookupFunction<GetSystemWow64DirectoryWFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                "GetSystemWow64DirectoryW");
    wchar_t buffer[MAX_PATH];
    return folderFromBuffer(buffer, get ? get(buffer, MAX_PATH) : 0);
}

std::wstring systemLibraryFolder() {
    if (isWow64Process())
        return systemWow64Folder();
    wchar_t buffer[MAX_PATH];
    return folderFromBuffer(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
}

HMODULE loadSystemLibrary(const wchar_t* fileName) {
    const std::wstring folder = systemLibraryFolder();
    if (folder.empty())
        return nullptr;
    // A full path: the loader takes exactly this file, whatever the search order says.
    return LoadLibraryW((folder + L"\\" + fileName).c_str());
}

} // namespace tarrow
