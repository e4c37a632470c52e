#include "PeVersionResource.h"

#include <algorithm>

namespace tarrow {

namespace {

constexpr std::uint16_t kDosSignature = 0x5A4D;    // "MZ"
constexpr std::uint32_t kNtSignature = 0x00004550; // "PE\0\0"
constexpr std::uint16_t kOptionalHeader32 = 0x10B; // its data directories start at 96
constexpr std::uint16_t kOptionalHeader64 = 0x20B; // its data directories start at 112
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kMaxSections = 96;        // the most the Windows loader accepts
constexpr std::uint32_t kHighBit = 0x80000000u; // a named entry, or a subdirectory
constexpr std::uint32_t kVersionType = 16;
constexpr std::uint32_t kVersionInfoId = 1;
constexpr std::uint32_t kNeutralLanguage = 0;
constexpr std::uint32_t kUsEnglish = 0x409;

std::uint16_t word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t dword(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(word(p)) | static_cast<std::uint32_t>(word(p + 2)) << 16;
}

struct Section {
    std::uint32_t address;   // where it is mapped, relative to the image base
    std::uint32_t rawSize;   // how many of its bytes the file holds
    std::uint32_t rawOffset; // where in the file they start
};

struct Image {
    std::uint32_t resourceAddress = 0;
    std::vector<Section> sections;
};

bool readInto(const ReadAt& read, std::uint64_t offset, std::vector<std::uint8_t>& out,
              std::size_t size) {
    out.resize(size);
    return size == 0 || read(offset, out.data(), size);
}

// The resource directory's address and the section table; nothing for a file that is no PE
// image or has no resource directory.
std::optional<Image> readImage(const ReadAt& read) {
    std::uint8_t dos[64];
    if (!read(0, dos, sizeof dos) || word(dos) != kDosSignature)
        return std::nullopt;
    const std::uint64_t nt = dword(dos + 0x3C);
    std::uint8_t header[24]; // the signature, then the file header
    if (!read(nt, header, sizeof header) || dword(header) != kNtSignature)
        return std::nullopt;
    const std::size_t sectionCount = word(header + 6);
    const std::size_t optionalSize = word(header + 20);
    std::vector<std::uint8_t> optional;
    if (sectionCount > kMaxSections || optionalSize < 2 ||
        !readInto(read, nt + sizeof header, optional, optionalSize))
        return std::nullopt;
    const std::uint16_t magic = word(optional.data());
    if (magic != kOptionalHeader32 && magic != kOptionalHeader64)
        return std::nullopt;
    const std::size_t directories = magic == kOptionalHeader32 ? 96 : 112;
    const std::size_t entry = directories + 8 * kResourceDirectoryIndex;
    if (optionalSize < entry + 8 || dword(&optional[directories - 4]) <= kResourceDirectoryIndex)
        return std::nullopt;
    Image image;
    image.resourceAddress = dword(&optional[entry]);
    std::vector<std::uint8_t> table;
    if (image.resourceAddress == 0 || !readInto(read, nt + sizeof header + optionalSize, table,
                                                sectionCount * kSectionHeaderBytes))
        return std::nullopt;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* s = &table[i * kSectionHeaderBytes];
        image.sections.push_back({dword(s + 12), dword(s + 16), dword(s + 20)});
    }
    return image;
}

// Reads `size` bytes at an address of the image, when one section's data in the file holds
// them all.
bool readMapped(const ReadAt& read, const Image& image, std::uint64_t address, std::size_t size,
                std::vector<std::uint8_t>& out) {
    for (const Section& section : image.sections) {
        if (address < section.address)
            continue;
        const std::uint64_t within = address - section.address;
        if (within + size <= section.rawSize)
            return readInto(read, section.rawOffset + within, out, size);
    }
    return false;
}

struct Entry {
    std::uint32_t name;   // an id, or with the high bit an offset to a name
    std::uint32_t target; // an offset in the resource directory; the high bit: a subdirectory
};

// The entries of the directory at `offset` from the start of the resource directory.
std::vector<Entry> entriesAt(const ReadAt& read, const Image& image, std::uint32_t offset) {
    std::vector<std::uint8_t> bytes;
    const std::uint64_t address = std::uint64_t{image.resourceAddress} + offset;
    if (!readMapped(read, image, address, 16, bytes))
        return {};
    const std::size_t count = std::size_t{word(&bytes[12])} + word(&bytes[14]);
    if (!readMapped(read, image, address + 16, count * 8, bytes))
        return {};
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({dword(&bytes[i * 8]), dword(&bytes[i * 8 + 4])});
    return entries;
}

// The entry with the first of `ids` that one carries, else the first entry; nothing when
// there are none.
std::optional<Entry> choose(const std::vector<Entry>& entries,
                            std::initializer_list<std::uint32_t> ids) {
    for (const std::uint32_t id : ids) {
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [id](const Entry& e) { return e.name == id; });
        if (found != entries.end())
            return *found;
    }
    if (entries.empty())
        return std::nullopt;
    return entries.front();
}

bool isDirectory(const Entry& entry) {
    return (entry.target & kHighBit) != 0;
}

std::uint32_t offsetOf(const Entry& entry) {
    return entry.target & ~kHighBit;
}

} // namespace

std::optional<std::vector<std::uint8_t>> readPeVersionResource(const ReadAt& read) {
    const std::optional<Image> image = readImage(read);
    if (!image)
        return std::nullopt;
    const auto types = entriesAt(read, *image, 0);
    const auto type = std::find_if(types.begin(), types.end(),
                                   [](const Entry& e) { return e.name == kVersionType; });
    if (type == types.end() || !isDirectory(*type))
        return std::nullopt;
    const auto name = choose(entriesAt(read, *image, offsetOf(*type)), {kVersionInfoId});
    if (!name || !isDirectory(*name))
        return std::nullopt;
    const auto language =
        choose(entriesAt(read, *image, offsetOf(*name)), {kNeutralLanguage, kUsEnglish});
    if (!language || isDirectory(*language))
        return std::nullopt;
    std::vector<std::uint8_t> dataEntry;
    if (!readMapped(read, *image, std::uint64_t{image->resourceAddress} + offsetOf(*language), 16,
                    dataEntry))
        return std::nullopt;
    // The data entry holds the resource's own address in the image, not an offset.
    const std::size_t size = std::min<std::size_t>(dword(&dataEntry[4]), kMaxVersionResourceBytes);
    std::vector<std::uint8_t> data;
    if (!readMapped(read, *image, dword(&dataEntry[0]), size, data))
        return std::nullopt;
    return data;
}

} // namespace tarrow
