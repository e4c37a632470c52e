#include "VersionResource.h"

#include "RuntimeImports.h"

namespace tarrow {

std::optional<VersionResource> VersionResource::read(const std::wstring& path) {
    const VersionFunctions* version = versionFunctions();
    if (!version)
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = version->getFileVersionInfoSize(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (!version->getFileVersionInfo(path.c_str(), 0, size, data.data()))
        return std::nullopt;
    return VersionResource(std::move(data));
}

std::optional<std::array<WORD, 4>> VersionResource::fileVersion() const {
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    auto* data = const_cast<BYTE*>(data_.data());
    if (!versionFunctions()->verQueryValue(data, L"\\", reinterpret_cast<void**>(&info), &length) ||
        !info || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return std::array<WORD, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::optional<std::wstring> VersionResource::string(const std::wstring& name) const {
    const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    auto* data = const_cast<BYTE*>(data_.data());
    if (!versionFunctions()->verQueryValue(data, query.c_str(), reinterpret_cast<void**>(&text),
                                           &length) ||
        !text)
        return std::nullopt;
    std::wstring value(text, length);
    while (!value.empty() && value.back() == L'\0')
        value.pop_back();
    return value;
}

std::optional<std::array<WORD, 4>> readFileVersion(const std::wstring& path) {
    const auto resource = VersionResource::read(path);
    return resource ? resource->fileVersion() : std::nullopt;
}

} // namespace tarrow
