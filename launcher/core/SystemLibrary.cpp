#include "SystemLibrary.h"

#include "SystemFunction.h"
#include "Wow64.h"

namespace tarrow {

std::wstring systemLibraryFolder() {
    wchar_t buffer[MAX_PATH];
    UINT length = 0;
    if (isWow64Process()) {
        using GetSystemWow64DirectoryWFn = UINT(WINAPI*)(LPWSTR, UINT);
        const auto get = lookupFunction<GetSystemWow64DirectoryWFn>(
            GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryW");
        length = get ? get(buffer, MAX_PATH) : 0;
    } else {
        length = GetSystemDirectoryW(buffer, MAX_PATH);
    }
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(buffer, length);
    if (folder.back() == L'\\' || folder.back() == L'/')
        folder.pop_back();
    return folder;
}

HMODULE loadSystemLibrary(const wchar_t* fileName) {
    const std::wstring folder = systemLibraryFolder();
    if (folder.empty())
        return nullptr;
    // A full path: the loader takes exactly this file, whatever the search order says.
    return LoadLibraryW((folder + L"\\" + fileName).c_str());
}

} // namespace tarrow
