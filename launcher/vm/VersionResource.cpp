#include "VersionResource.h"

#include "PeVersionResource.h"
#include "UniqueHandle.h"
#include "VersionInfoBlock.h"

namespace tarrow {

std::optional<VersionResource> VersionResource::read(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    const ReadAt readAt = [&file](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        return size <= MAXDWORD && ReadFile(file.get(), out, static_cast<DWORD>(size), &got, &at) &&
               got == size;
    };
    auto data = readPeVersionResource(readAt);
    if (!data)
        return std::nullopt;
    return VersionResource(std::move(*data));
}

std::optional<std::array<WORD, 4>> VersionResource::fileVersion() const {
    return fixedFileVersion(data_);
}

std::optional<std::wstring> VersionResource::string(const std::wstring& name) const {
    return versionText(data_, {L"StringFileInfo", L"040904b0", name});
}

std::optional<std::array<WORD, 4>> readFileVersion(const std::wstring& path) {
    const auto resource = VersionResource::read(path);
    return resource ? resource->fileVersion() : std::nullopt;
}

} // namespace tarrow
