#include "IconFile.h"

#include <algorithm>

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFileEntryBytes = 16;
constexpr std::uint16_t kIconType = 1;
constexpr std::size_t kBitmapHeaderBytes = 40; // the smallest header an icon's bitmap has
const Bytes kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void malformed(const std::wstring& name, const std::wstring& what) {
    throw TerminalError(L"the icon file " + name + L" " + what);
}

bool isPng(const Bytes& image) {
    return image.size() >= kPngSignature.size() &&
           std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin());
}

bool isBitmap(const Bytes& image) {
    return image.size() >= kBitmapHeaderBytes && dword(image, 0) >= kBitmapHeaderBytes &&
           dword(image, 0) <= image.size();
}

// The image of the directory entry at `entry`; images lie after the directory's `end`.
IconImage imageAt(const Bytes& file, std::size_t entry, std::size_t end, const std::wstring& name) {
    const std::uint32_t size = dword(file, entry + 8);
    const std::uint32_t offset = dword(file, entry + 12);
    if (size == 0)
        malformed(name, L"holds an image of zero size");
    if (offset < end || !fits(offset, size, file.size()))
        malformed(name, L"promises an image that the file does not hold");
    IconImage image{file[entry],           file[entry + 1],       file[entry + 2],
                    word(file, entry + 4), word(file, entry + 6), {}};
    appendRange(image.bytes, file, offset, size);
    if (isPng(image.bytes))
        return image;
    if (!isBitmap(image.bytes))
        malformed(name, L"holds an image that is neither PNG nor a bitmap");
    if (image.planes == 0)
        image.planes = word(image.bytes, 12);
    if (image.bitCount == 0)
        image.bitCount = word(image.bytes, 14);
    return image;
}

} // namespace

std::vector<IconImage> readIconFile(const Bytes& file, const std::wstring& name) {
    if (file.size() < kHeaderBytes || word(file, 0) != 0 || word(file, 2) != kIconType)
        malformed(name, L"is no icon file");
    const std::size_t count = word(file, 4);
    if (count == 0)
        malformed(name, L"holds no image");
    if (!fits(kHeaderBytes, count * kFileEntryBytes, file.size()))
        malformed(name, L"promises an image that the file does not hold");
    std::vector<IconImage> images;
    const std::size_t directoryEnd = kHeaderBytes + count * kFileEntryBytes;
    for (std::size_t i = 0; i < count; ++i)
        images.push_back(imageAt(file, kHeaderBytes + i * kFileEntryBytes, directoryEnd, name));
    return images;
}

Bytes iconGroup(const std::vector<IconImage>& images, const std::vector<std::uint16_t>& ids) {
    Bytes group;
    appendWord(group, 0);
    appendWord(group, kIconType);
    appendWord(group, static_cast<std::uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        appendWord(group, image.width | image.height << 8);
        appendWord(group, image.colourCount);
        appendWord(group, image.planes);
        appendWord(group, image.bitCount);
        appendDword(group, static_cast<std::uint32_t>(image.bytes.size()));
        appendWord(group, ids[i]);
    }
    return group;
}

} // namespace tarrow
