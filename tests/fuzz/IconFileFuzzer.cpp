// Icon files that users name when they brand the launcher. Reading one either refuses it or
// gives images that are not empty and are found in the file as its directory places them; the
// icon group made of them describes each one.
#include <cstring>
#include <vector>

#include "Errors.h"
#include "FuzzInput.h"
#include "IconFile.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const tarrow::Bytes file(data, data + size);
    std::vector<tarrow::IconImage> images;
    try {
        images = tarrow::readIconFile(file, L"fuzz.ico");
    } catch (const tarrow::TerminalError&) {
        return 0;
    }
    require(!images.empty() && images.size() == tarrow::word(file, 4), "every image is read");
    std::vector<std::uint16_t> ids;
    for (size_t i = 0; i < images.size(); ++i) {
        const auto& bytes = images[i].bytes;
        const std::uint32_t offset = tarrow::dword(file, 6 + 16 * i + 12);
        require(!bytes.empty(), "no image is empty");
        require(offset >= 6 + 16 * images.size() && offset + bytes.size() <= size &&
                    std::memcmp(bytes.data(), data + offset, bytes.size()) == 0,
                "an image is the file's bytes after the directory");
        ids.push_back(static_cast<std::uint16_t>(i + 1));
    }
    const tarrow::Bytes group = tarrow::iconGroup(images, ids);
    require(group.size() == 6 + 14 * images.size(), "the group has one entry per image");
    for (size_t i = 0; i < images.size(); ++i)
        require(tarrow::dword(group, 6 + 14 * i + 8) == images[i].bytes.size() &&
                    tarrow::word(group, 6 + 14 * i + 12) == ids[i],
                "each entry gives its image's size and id");
    return 0;
}
