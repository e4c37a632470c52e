#include "VersionResource.h"

#include <vector>

namespace tarrow {

namespace {

std::vector<BYTE> versionData(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return {};
    return data;
}

} // namespace

std::optional<std::array<WORD, 4>> readFileVersion(const std::wstring& path) {
    std::vector<BYTE> data = versionData(path);
    if (data.empty())
        return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return std::array<WORD, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::optional<std::wstring> readVersionString(const std::wstring& path, const std::wstring& name) {
    std::vector<BYTE> data = versionData(path);
    if (data.empty())
        return std::nullopt;
    const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
        !text)
        return std::nullopt;
    std::wstring value(text, length);
    while (!value.empty() && value.back() == L'\0')
        value.pop_back();
    return value;
}

} // namespace tarrow
