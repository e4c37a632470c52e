#include "PeResourceSection.h"

#include <algorithm>
#include <optional>

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::uint16_t kOptionalHeader32 = 0x10B;
constexpr std::uint16_t kOptionalHeader64 = 0x20B;
constexpr std::size_t kSectionBytes = 40;
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kSignatureDirectory = 4; // holds a file offset, not an address
constexpr std::size_t kDebugDirectory = 6;
constexpr std::size_t kDebugEntryBytes = 28;
constexpr std::uint32_t kDiscardable = 0x02000000;

[[noreturn]] void refuse(const std::wstring& why) {
    throw TerminalError(L"the launcher's resources cannot be rewritten: " + why);
}

struct Section {
    std::size_t header; // where its header is in the file
    std::uint32_t virtualSize, address, rawSize, rawOffset, characteristics;
};

// Where the headers' fields are, and the section table.
struct Layout {
    std::size_t fileHeader = 0;
    std::size_t optional = 0;
    std::size_t directories = 0;
    std::size_t directoryCount = 0;
    std::size_t headersEnd = 0; // the end of the section table
    std::uint32_t sectionAlignment = 0;
    std::uint32_t fileAlignment = 0;
    std::vector<Section> sections;
    std::size_t resources = 0; // which section holds them

    std::size_t directory(std::size_t index) const { return directories + 8 * index; }
};

Layout readLayout(const Bytes& image) {
    if (image.size() < 64 || word(image, 0) != 0x5A4D)
        refuse(L"it is no program");
    Layout layout;
    const std::size_t nt = dword(image, 0x3C);
    if (!fits(nt, 24, image.size()) || dword(image, nt) != 0x00004550)
        refuse(L"it is no program");
    layout.fileHeader = nt + 4;
    const std::size_t count = word(image, layout.fileHeader + 2);
    const std::size_t optionalSize = word(image, layout.fileHeader + 16);
    layout.optional = nt + 24;
    const std::size_t table = layout.optional + optionalSize;
    if (count > kMaxSections || !fits(layout.optional, optionalSize, image.size()) ||
        !fits(table, count * kSectionBytes, image.size()) || optionalSize < 2)
        refuse(L"its headers are damaged");
    const std::uint16_t magic = word(image, layout.optional);
    if (magic != kOptionalHeader32 && magic != kOptionalHeader64)
        refuse(L"its headers are damaged");
    layout.directories = layout.optional + (magic == kOptionalHeader32 ? 96 : 112);
    if (optionalSize < layout.directories - layout.optional)
        refuse(L"its headers are damaged");
    layout.directoryCount = std::min<std::size_t>(dword(image, layout.directories - 4),
                                                  (table - layout.directories) / 8);
    layout.sectionAlignment = dword(image, layout.optional + 32);
    layout.fileAlignment = dword(image, layout.optional + 36);
    for (const std::uint32_t alignment : {layout.sectionAlignment, layout.fileAlignment}) {
        if (alignment == 0 || (alignment & (alignment - 1)) != 0)
            refuse(L"its headers are damaged");
    }
    layout.headersEnd = table + count * kSectionBytes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = table + i * kSectionBytes;
        layout.sections.push_back({at, dword(image, at + 8), dword(image, at + 12),
                                   dword(image, at + 16), dword(image, at + 20),
                                   dword(image, at + 36)});
    }
    return layout;
}

const Section& resourceSectionOf(const Bytes& image, Layout& layout) {
    if (layout.directoryCount <= kResourceDirectory ||
        dword(image, layout.directory(kResourceDirectory)) == 0)
        refuse(L"it has none");
    const std::uint32_t address = dword(image, layout.directory(kResourceDirectory));
    for (std::size_t i = 0; i < layout.sections.size(); ++i) {
        const Section& section = layout.sections[i];
        if (section.address != address)
            continue;
        // The headers are kept and edited in place: the section must not overlap them.
        if (section.rawOffset < layout.headersEnd ||
            !fits(section.rawOffset, section.rawSize, image.size()))
            refuse(L"its headers are damaged");
        layout.resources = i;
        return section;
    }
    refuse(L"they do not start a section of their own");
}

// Alignments are powers of two (checked when the headers are read).
std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

// How far everything after the resource section moves, in memory and in the file.
struct Shift {
    std::uint32_t address, rawOffset; // where the old section starts
    std::uint32_t memory, file;       // added modulo 2^32: a section that shrank moves back

    std::uint32_t address_(std::uint32_t rva) const { return rva > address ? rva + memory : rva; }
    std::uint32_t offset(std::uint32_t at) const { return at > rawOffset ? at + file : at; }
};

// How many bytes of the file the resource section takes: linkers may leave its size unaligned
// and start the next section at the following boundary.
std::size_t fileSpan(const Bytes& image, const Layout& layout) {
    const Section& resources = layout.sections[layout.resources];
    return std::min<std::size_t>(alignUp(resources.rawSize, layout.fileAlignment),
                                 image.size() - resources.rawOffset);
}

Shift shiftFor(const Bytes& image, const Layout& layout, std::size_t newSize) {
    const Section& resources = layout.sections[layout.resources];
    std::uint32_t next =
        alignUp(resources.address + resources.virtualSize, layout.sectionAlignment);
    for (const Section& section : layout.sections) {
        if (section.address <= resources.address)
            continue;
        // Only sections that no code refers to may move: relocations and debugging data.
        if ((section.characteristics & kDiscardable) == 0)
            refuse(L"sections the program uses follow them");
        next = std::min(next, section.address);
    }
    const auto size = static_cast<std::uint32_t>(newSize);
    return {resources.address, resources.rawOffset,
            resources.address + alignUp(size, layout.sectionAlignment) - next,
            alignUp(size, layout.fileAlignment) -
                static_cast<std::uint32_t>(fileSpan(image, layout))};
}

void moveSections(Bytes& out, const Layout& layout, const Shift& shift, std::size_t newSize) {
    for (std::size_t i = 0; i < layout.sections.size(); ++i) {
        const Section& section = layout.sections[i];
        if (i == layout.resources) {
            putDword(out, section.header + 8, static_cast<std::uint32_t>(newSize));
            putDword(out, section.header + 16,
                     alignUp(static_cast<std::uint32_t>(newSize), layout.fileAlignment));
            continue;
        }
        putDword(out, section.header + 12, shift.address_(section.address));
        for (const std::size_t field : {20, 24, 28}) // raw data, relocations, line numbers
            putDword(out, section.header + field, shift.offset(dword(out, section.header + field)));
    }
    const std::size_t symbols = layout.fileHeader + 8;
    putDword(out, symbols, shift.offset(dword(out, symbols)));
    std::uint32_t imageEnd = 0;
    for (const Section& section : layout.sections) {
        const std::uint32_t end = dword(out, section.header + 12) + dword(out, section.header + 8);
        imageEnd = std::max(imageEnd, alignUp(end, layout.sectionAlignment));
    }
    putDword(out, layout.optional + 56, imageEnd);
    putDword(out, layout.optional + 8, dword(out, layout.optional + 8) + shift.file);
}

// The file offset of an address in the new image; nothing when no section's data holds it.
std::optional<std::size_t> offsetOf(const Bytes& out, const Layout& layout, std::uint32_t rva,
                                    std::size_t size) {
    for (const Section& section : layout.sections) {
        const std::uint32_t address = dword(out, section.header + 12);
        const std::uint32_t raw = dword(out, section.header + 16);
        if (rva >= address && fits(rva - address, size, raw))
            return dword(out, section.header + 20) + (rva - address);
    }
    return std::nullopt;
}

void moveDirectories(Bytes& out, const Layout& layout, const Shift& shift, std::size_t newSize) {
    for (std::size_t i = 0; i < layout.directoryCount; ++i) {
        const std::size_t at = layout.directory(i);
        if (i == kSignatureDirectory || dword(out, at) == 0)
            continue;
        putDword(out, at, shift.address_(dword(out, at)));
    }
    putDword(out, layout.directory(kResourceDirectory) + 4, static_cast<std::uint32_t>(newSize));
    if (layout.directoryCount <= kDebugDirectory)
        return;
    // The debugging entries name their data by address and by file offset.
    const std::uint32_t size = dword(out, layout.directory(kDebugDirectory) + 4);
    const auto entries = offsetOf(out, layout, dword(out, layout.directory(kDebugDirectory)), size);
    if (!entries || !fits(*entries, size, out.size()))
        return;
    for (std::size_t at = *entries; at + kDebugEntryBytes <= *entries + size;
         at += kDebugEntryBytes) {
        putDword(out, at + 20, shift.address_(dword(out, at + 20)));
        putDword(out, at + 24, shift.offset(dword(out, at + 24)));
    }
}

// Where the image's own bytes end: a signature at the end is left out.
std::size_t contentEnd(const Bytes& image, const Layout& layout) {
    if (layout.directoryCount <= kSignatureDirectory)
        return image.size();
    const std::size_t at = layout.directory(kSignatureDirectory);
    const std::uint64_t offset = dword(image, at);
    const std::uint64_t size = dword(image, at + 4);
    return offset != 0 && offset + size == image.size() ? offset : image.size();
}

} // namespace

ResourceSection readResourceSection(const Bytes& image) {
    Layout layout = readLayout(image);
    const Section& section = resourceSectionOf(image, layout);
    const auto start = image.begin() + section.rawOffset;
    return {section.address, Bytes(start, start + section.rawSize)};
}

Bytes replaceResourceSection(const Bytes& image, const Bytes& contents) {
    Layout layout = readLayout(image);
    const Section& resources = resourceSectionOf(image, layout);
    const Shift shift = shiftFor(image, layout, contents.size());
    const std::size_t tail = resources.rawOffset + fileSpan(image, layout);
    const std::size_t end = std::max(contentEnd(image, layout), tail);
    Bytes out;
    appendRange(out, image, 0, resources.rawOffset);
    appendRange(out, contents, 0, contents.size());
    out.resize(resources.rawOffset + alignUp(contents.size(), layout.fileAlignment));
    appendRange(out, image, tail, end - tail);
    moveSections(out, layout, shift, contents.size());
    moveDirectories(out, layout, shift, contents.size());
    if (layout.directoryCount > kSignatureDirectory) {
        putDword(out, layout.directory(kSignatureDirectory), 0);
        putDword(out, layout.directory(kSignatureDirectory) + 4, 0);
    }
    const std::size_t checksum = layout.optional + 64;
    putDword(out, checksum, 0);
    putDword(out, checksum, peChecksum(out));
    return out;
}

std::uint32_t peChecksum(const Bytes& file) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < file.size(); at += 2) {
        sum += at + 1 < file.size() ? word(file, at) : file[at];
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(file.size());
}

} // namespace tarrow
