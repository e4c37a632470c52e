#include "ReparsePoint.h"

#include <windows.h>

#include <psapi.h>

#include <vector>

#include "Reporter.h"
#include "Text.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

// The mapped file's name in device form, such as \Device\HarddiskVolume2\Java\bin\java.exe.
std::wstring mappedDevicePath(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::wstring();
    DWORD high = 0;
    if (GetFileSize(file.get(), &high) == 0 && high == 0) {
        Reporter::always().say("Cannot map a file with a length of zero.\n");
        return std::wstring();
    }
    UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 1, nullptr));
    if (!mapping)
        return std::wstring();
    UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1));
    if (!view)
        return std::wstring();
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetMappedFileNameW(GetCurrentProcess(), view.get(), name, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return std::wstring();
    return std::wstring(name, length);
}

} // namespace

std::wstring resolveReparsePoint(const std::wstring& path) {
    const std::wstring device = mappedDevicePath(path);
    if (device.empty())
        return path;
    const DWORD size = GetLogicalDriveStringsW(0, nullptr);
    std::vector<wchar_t> drives(size + 1);
    if (size == 0 || GetLogicalDriveStringsW(size, drives.data()) == 0)
        return path;
    for (const wchar_t* drive = drives.data(); *drive; drive += wcslen(drive) + 1) {
        const std::wstring letter(drive, 2); // "C:"
        wchar_t target[MAX_PATH];
        if (QueryDosDeviceW(letter.c_str(), target, MAX_PATH) == 0)
            continue;
        const std::wstring prefix(target);
        if (!prefix.empty() && startsWith(device, prefix) &&
            (device.size() == prefix.size() || device[prefix.size()] == L'\\'))
            return letter + device.substr(prefix.size());
    }
    return path;
}

} // namespace tarrow
