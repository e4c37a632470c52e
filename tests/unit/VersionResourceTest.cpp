// Finding and reading a version resource in a PE image built here byte by byte: what a
// well-formed image yields, which entry is chosen, and that a damaged image yields nothing or
// a value read inside its own data.
#include <gtest/gtest.h>

#include <cstring>

#include "PeVersionResource.h"
#include "VersionInfoBlock.h"

using namespace tarrow;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, size_t at, unsigned v) {
    if (b.size() < at + 2)
        b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

void pad(Bytes& b) {
    b.resize((b.size() + 3) & ~size_t{3});
}

// A version block: header, key, value (text in characters when `text`), children.
Bytes block(const std::u16string& key, const Bytes& value, bool text,
            const std::vector<Bytes>& children = {}) {
    Bytes b(6);
    for (char16_t c : key + u'\0')
        put16(b, b.size(), c);
    pad(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& c : children) {
        pad(b);
        b.insert(b.end(), c.begin(), c.end());
    }
    put16(b, 0, static_cast<unsigned>(b.size()));
    put16(b, 2, static_cast<unsigned>(text ? value.size() / 2 : value.size()));
    put16(b, 4, text ? 1 : 0);
    return b;
}

Bytes utf16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s + u'\0')
        put16(b, b.size(), c);
    return b;
}

Bytes fixedInfo(std::uint32_t ms, std::uint32_t ls) {
    Bytes b(52);
    put32(b, 0, 0xFEEF04BD);
    put32(b, 8, ms);
    put32(b, 12, ls);
    return b;
}

Bytes versionInfo(const std::u16string& company) {
    const Bytes strings =
        block(u"040904b0", {}, true, {block(u"CompanyName", utf16(company), true)});
    return block(u"VS_VERSION_INFO", fixedInfo(0x00010008, 0x00000097), false,
                 {block(u"StringFileInfo", {}, true, {strings})});
}

constexpr std::uint32_t kRsrcAddress = 0x2000;
constexpr std::uint32_t kRsrcOffset = 0x200;

// A directory of id entries at `at` in the section; each target is an offset in it.
void directory(Bytes& section, size_t at,
               const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries) {
    put16(section, at + 14, static_cast<unsigned>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        put32(section, at + 16 + 8 * i, entries[i].first);
        put32(section, at + 20 + 8 * i, entries[i].second);
    }
}

// A PE32 image with one resource section holding version resources, one per (name, language).
Bytes image(const std::vector<std::tuple<std::uint32_t, std::uint32_t, Bytes>>& resources) {
    Bytes section;
    constexpr std::uint32_t sub = 0x80000000u;
    directory(section, 0, {{16, sub | 0x20}});
    std::vector<std::pair<std::uint32_t, std::uint32_t>> names;
    size_t next = 0x100;
    for (const auto& [name, language, data] : resources) {
        (void)data;
        names.push_back({name, sub | static_cast<std::uint32_t>(next)});
        next += 0x20;
    }
    directory(section, 0x20, names);
    size_t dataAt = 0x400;
    for (size_t i = 0; i < resources.size(); ++i) {
        const auto& [name, language, data] = resources[i];
        (void)name;
        const size_t entry = 0x300 + 16 * i;
        directory(section, 0x100 + 0x20 * i, {{language, static_cast<std::uint32_t>(entry)}});
        put32(section, entry, kRsrcAddress + static_cast<std::uint32_t>(dataAt));
        put32(section, entry + 4, static_cast<std::uint32_t>(data.size()));
        section.resize(dataAt);
        section.insert(section.end(), data.begin(), data.end());
        dataAt = (section.size() + 15) & ~size_t{15};
    }
    Bytes file(kRsrcOffset);
    put16(file, 0, 0x5A4D);
    put32(file, 0x3C, 0x40);
    put32(file, 0x40, 0x00004550);
    put16(file, 0x46, 1);     // sections
    put16(file, 0x54, 224);   // optional header size
    put16(file, 0x58, 0x10B); // PE32
    put32(file, 0x58 + 92, 16);
    put32(file, 0x58 + 96 + 16, kRsrcAddress);
    put32(file, 0x58 + 96 + 20, static_cast<std::uint32_t>(section.size()));
    const size_t header = 0x58 + 224;
    std::memcpy(&file[header], ".rsrc", 5);
    put32(file, header + 8, static_cast<std::uint32_t>(section.size()));
    put32(file, header + 12, kRsrcAddress);
    put32(file, header + 16, static_cast<std::uint32_t>(section.size()));
    put32(file, header + 20, kRsrcOffset);
    file.insert(file.end(), section.begin(), section.end());
    return file;
}

std::optional<Bytes> find(const Bytes& file) {
    return readPeVersionResource([&file](std::uint64_t offset, std::uint8_t* out, size_t size) {
        if (offset > file.size() || file.size() - offset < size)
            return false;
        std::memcpy(out, file.data() + offset, size);
        return true;
    });
}

std::optional<std::wstring> company(const Bytes& data) {
    return versionText(data, {L"StringFileInfo", L"040904b0", L"CompanyName"});
}

} // namespace

TEST(VersionResource, ReadsTheFixedVersionAndTheStringsOfAnImage) {
    const auto data = find(image({{1, 0x409, versionInfo(u"Sun Microsystems, Inc.")}}));
    ASSERT_TRUE(data);
    EXPECT_EQ(fixedFileVersion(*data), (std::array<std::uint16_t, 4>{1, 8, 0, 151}));
    EXPECT_EQ(company(*data), L"Sun Microsystems, Inc.");
    EXPECT_EQ(versionText(*data, {L"stringfileinfo", L"040904B0", L"COMPANYNAME"}),
              L"Sun Microsystems, Inc.");
    EXPECT_FALSE(versionText(*data, {L"StringFileInfo", L"040904b0", L"ProductName"}));
    EXPECT_FALSE(versionText(*data, {L"StringFileInfo", L"040904b0", L"CompanyNam"}));
}

TEST(VersionResource, ChoosesIdOneThenTheNeutralLanguageThenUsEnglish) {
    const struct {
        std::vector<std::tuple<std::uint32_t, std::uint32_t, Bytes>> resources;
        const wchar_t* chosen;
    } cases[] = {
        {{{2, 0, versionInfo(u"two")}, {1, 0x407, versionInfo(u"one")}}, L"one"},
        {{{3, 0, versionInfo(u"three")}, {2, 0, versionInfo(u"two")}}, L"three"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(company(*find(image(c.resources))), c.chosen);
    // Two languages of one name: the image is built with one language per name, then the first
    // name's directory is pointed at the second one's data entry as well.
    Bytes merged = image({{1, 0x407, versionInfo(u"german")}, {1, 0x409, versionInfo(u"english")}});
    const size_t languages = kRsrcOffset + 0x100;
    put16(merged, languages + 14, 2);
    put32(merged, languages + 24, 0x409);
    put32(merged, languages + 28, 0x310);
    EXPECT_EQ(company(*find(merged)), L"english"); // US English before another language
    put32(merged, languages + 16, 0);
    EXPECT_EQ(company(*find(merged)), L"german"); // the neutral language before US English
    put32(merged, languages + 16, 0x407);
    put32(merged, languages + 24, 0x40C);
    EXPECT_EQ(company(*find(merged)), L"german"); // else the first
}

TEST(VersionResource, ADamagedImageYieldsNothing) {
    const Bytes good = image({{1, 0x409, versionInfo(u"Sun")}});
    const struct {
        size_t at;
        std::uint32_t value;
        const char* damage;
    } cases[] = {
        {0, 0x5A4E, "no MZ"},
        {0x3C, 0x10000, "NT headers past the end"},
        {0x40, 0x00004551, "no PE signature"},
        {0x58, 0x10C, "unknown optional header"},
        {0x58 + 92, 2, "no resource directory slot"},
        {0x58 + 96 + 16, 0x9000, "resource directory outside every section"},
        {0x46, 97, "more sections than Windows loads"},
        {kRsrcOffset + 16, 15, "no version type"},
        {kRsrcOffset + 0x300, 0x7FFFFFF0, "data outside the section"},
        {kRsrcOffset + 0x304, 0x10000, "data longer than the section"},
    };
    for (const auto& c : cases) {
        // Bytes after the last section, as signed programs carry: a read past a section's
        // data still finds bytes in the file.
        Bytes damaged = good;
        damaged.resize(good.size() + 0x20000);
        put32(damaged, c.at, c.value); // a 16-bit field's neighbour matters to none of them
        EXPECT_FALSE(find(damaged)) << c.damage;
    }
    // Every shorter file: nothing, never a read outside it (the sanitizers watch).
    for (size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(find(Bytes(good.begin(), good.begin() + size))) << size;
}

TEST(VersionResource, MalformedBlocksAreReadInsideTheirData) {
    const Bytes good = versionInfo(u"IBM Corporation");
    ASSERT_EQ(company(good), L"IBM Corporation");
    Bytes shortRoot = good;
    put16(shortRoot, 0, 5); // shorter than a block header
    EXPECT_FALSE(company(shortRoot));
    EXPECT_FALSE(fixedFileVersion(shortRoot));
    Bytes smallValue = good;
    put16(smallValue, 2, 51); // less than the fixed information
    EXPECT_FALSE(fixedFileVersion(smallValue));
    // A text value claiming more characters than its block holds ends with the block.
    const Bytes value = block(u"CompanyName", utf16(u"IBM"), true);
    Bytes longValue = value;
    put16(longValue, 2, 0xFFFF);
    EXPECT_EQ(versionText(block(u"R", {}, true, {longValue}), {L"CompanyName"}), L"IBM");
    // A key that never ends inside its block, and a cut-off file.
    Bytes endlessKey = block(u"CompanyName", {}, true);
    endlessKey.resize(endlessKey.size() - 4);
    put16(endlessKey, 0, static_cast<unsigned>(endlessKey.size()));
    EXPECT_FALSE(versionText(block(u"R", {}, true, {endlessKey}), {L"CompanyName"}));
    for (size_t size = 0; size < good.size(); ++size) {
        const Bytes cut(good.begin(), good.begin() + size);
        const auto text = company(cut);
        EXPECT_TRUE(!text || text->size() <= size / 2) << size;
        fixedFileVersion(cut);
    }
}
