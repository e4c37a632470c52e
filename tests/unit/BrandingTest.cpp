// Branding's platform-free steps: the icon file's images, the command's settings, the version
// resource's edits (read back with the launcher's own reader), the resource tree's round trip,
// and giving a hand-built image a larger resource section.
#include <gtest/gtest.h>

#include "Branding.h"
#include "Errors.h"
#include "IconFile.h"
#include "PeResourceSection.h"
#include "ResourceTree.h"
#include "VersionInfoBlock.h"
#include "VersionInfoEdit.h"

using namespace tarrow;

namespace {

// An icon file: each image given by its bytes, with entries that may lie about them.
struct IcoImage {
    Bytes bytes;
    std::uint32_t claimedSize = 0;   // 0: the true size
    std::uint32_t claimedOffset = 0; // 0: the true offset
};

Bytes icoFile(const std::vector<IcoImage>& images, std::uint16_t type = 1) {
    Bytes file;
    appendWord(file, 0);
    appendWord(file, type);
    appendWord(file, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IcoImage& image : images) {
        file.insert(file.end(), {32, 32, 0, 0});
        appendWord(file, 0); // planes and bit count left to the bitmap header
        appendWord(file, 0);
        appendDword(file, image.claimedSize ? image.claimedSize
                                            : static_cast<std::uint32_t>(image.bytes.size()));
        appendDword(file, image.claimedOffset ? image.claimedOffset : offset);
        offset += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const IcoImage& image : images)
        file.insert(file.end(), image.bytes.begin(), image.bytes.end());
    return file;
}

Bytes png() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 'r', 'e', 's', 't'};
}

Bytes bitmap(std::uint16_t bits) {
    Bytes b(48);
    putDword(b, 0, 40);
    putWord(b, 12, 1);
    putWord(b, 14, bits);
    return b;
}

std::wstring errorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const TerminalError& error) {
        return error.message();
    }
    return L"";
}

TEST(IconFile, ReadsEveryImageWithItsDescription) {
    const auto images = readIconFile(icoFile({{png()}, {bitmap(8)}}), L"app.ico");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].bytes, png());
    EXPECT_EQ(images[0].bitCount, 0); // a PNG's entry stands as written
    EXPECT_EQ(images[1].bytes, bitmap(8));
    EXPECT_EQ(images[1].planes, 1);
    EXPECT_EQ(images[1].bitCount, 8);
    const Bytes group = iconGroup(images, {5, 9});
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(word(group, 4), 2);
    EXPECT_EQ(dword(group, 6 + 14 + 8), bitmap(8).size());
    EXPECT_EQ(word(group, 6 + 12), 5);
    EXPECT_EQ(word(group, 6 + 14 + 12), 9);
}

TEST(IconFile, RefusesMalformedFiles) {
    struct Case {
        const char* what;
        Bytes file;
        std::wstring message;
    };
    const std::wstring promised = L"promises an image that the file does not hold";
    Bytes truncatedDirectory = icoFile({{png()}});
    truncatedDirectory.resize(12);
    const Case cases[] = {
        {"empty file", {}, L"is no icon file"},
        {"cursor file", icoFile({{png()}}, 2), L"is no icon file"},
        {"no images", icoFile({}), L"holds no image"},
        {"directory cut short", truncatedDirectory, promised},
        {"image past the end", icoFile({{png(), 400}}), promised},
        {"image inside the directory", icoFile({{png(), 0, 4}}), promised},
        {"offset wraps around", icoFile({{png(), 0xFFFFFFF0u, 0x20}}), promised},
        {"zero-size image", icoFile({{png()}, {Bytes{}}}), L"holds an image of zero size"},
        {"neither PNG nor bitmap", icoFile({{Bytes(48, 0x41)}}),
         L"holds an image that is neither PNG nor a bitmap"},
    };
    for (const Case& c : cases) {
        const std::wstring message = errorOf([&] { readIconFile(c.file, L"bad.ico"); });
        EXPECT_NE(message.find(L"the icon file bad.ico " + c.message), std::wstring::npos)
            << c.what << ": " << std::string(message.begin(), message.end());
    }
}

std::vector<std::wstring> args(std::initializer_list<const wchar_t*> rest) {
    std::vector<std::wstring> argv{L"Tarrow.exe", L"-mvkivbrand"};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return argv;
}

TEST(BrandRequest, ReadsTheSettings) {
    EXPECT_TRUE(isBrandCommand(args({})));
    EXPECT_FALSE(isBrandCommand({L"Tarrow.exe", L"x", L"-mvkivbrand"}));
    const BrandRequest request = parseBrandRequest(args(
        {L"C:\\out dir\\Hello.exe", L"icon=a.ico", L"Product=Hello World", L"version=02.1.0.65535",
         L"company=Ex=ample", L"description=", L"copyright=(c) 2026"}));
    EXPECT_EQ(request.output, L"C:\\out dir\\Hello.exe");
    EXPECT_EQ(request.icon, L"a.ico");
    EXPECT_EQ(request.edits.version, (std::array<std::uint16_t, 4>{2, 1, 0, 65535}));
    const std::vector<std::pair<std::wstring, std::wstring>> texts{
        {L"ProductName", L"Hello World"},    {L"FileVersion", L"2.1.0.65535"},
        {L"ProductVersion", L"2.1.0.65535"}, {L"CompanyName", L"Ex=ample"},
        {L"FileDescription", L""},           {L"LegalCopyright", L"(c) 2026"},
        {L"OriginalFilename", L"Hello.exe"}, {L"InternalName", L"Hello"}};
    EXPECT_EQ(request.edits.texts, texts);
    const BrandRequest bare = parseBrandRequest(args({L"plain"}));
    EXPECT_FALSE(bare.icon);
    EXPECT_FALSE(bare.edits.version);
    EXPECT_EQ(bare.edits.texts.size(), 2u);
}

TEST(BrandRequest, RefusesMalformedArguments) {
    const std::pair<std::vector<std::wstring>, std::wstring> cases[] = {
        {args({}), L"needs the name of the program to write"},
        {args({L"icon=a.ico"}), L"needs the name of the program to write"},
        {args({L"out.exe", L"colour=red"}), L"unknown branding setting \"colour=red\""},
        {args({L"out.exe", L"extra"}), L"unknown branding setting \"extra\""},
        {args({L"out.exe", L"product=a", L"PRODUCT=b"}), L"\"product\" is given twice"},
        {args({L"out.exe", L"version=1.2.3"}), L"not four numbers"},
        {args({L"out.exe", L"version=1.2.3.4.5"}), L"not four numbers"},
        {args({L"out.exe", L"version=1.2.3.65536"}), L"not four numbers"},
        {args({L"out.exe", L"version=1..2.3"}), L"not four numbers"},
        {args({L"out.exe", L"version=1.2.3.4."}), L"not four numbers"},
        {args({L"out.exe", L"version=1.2.3.-4"}), L"not four numbers"},
        {args({L"out.exe", L"version=1.2.3.99999999999"}), L"not four numbers"},
        {args({L"out.exe", L"version="}), L"not four numbers"},
    };
    for (const auto& item : cases) {
        const auto& [argv, message] = item;
        const std::wstring got = errorOf([&] { parseBrandRequest(item.first); });
        EXPECT_NE(got.find(message), std::wstring::npos)
            << std::string(argv.back().begin(), argv.back().end()) << ": "
            << std::string(got.begin(), got.end());
    }
}

// A version resource as the resource compiler writes it.
Bytes versionBlock(const std::u16string& key, std::uint16_t type, const Bytes& value,
                   std::uint16_t valueLength, const std::vector<Bytes>& children = {}) {
    Bytes b(6);
    for (char16_t c : key + u'\0')
        appendWord(b, c);
    padTo(b, 4);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        padTo(b, 4);
        b.insert(b.end(), child.begin(), child.end());
    }
    putWord(b, 0, static_cast<std::uint32_t>(b.size()));
    putWord(b, 2, valueLength);
    putWord(b, 4, type);
    return b;
}

Bytes text(const std::u16string& key, const std::u16string& value) {
    Bytes bytes;
    for (char16_t c : value + u'\0')
        appendWord(bytes, c);
    return versionBlock(key, 1, bytes, static_cast<std::uint16_t>(value.size() + 1));
}

Bytes launcherVersion() {
    Bytes fixed(52);
    putDword(fixed, 0, 0xFEEF04BD);
    putDword(fixed, 8, 0x00010000);
    Bytes translation;
    appendDword(translation, 0x04B00409);
    return versionBlock(
        u"VS_VERSION_INFO", 0, fixed, 52,
        {versionBlock(
             u"StringFileInfo", 1, {}, 0,
             {versionBlock(u"040904b0", 1, {}, 0,
                           {text(u"FileDescription", u"Java application launcher"),
                            text(u"FileVersion", u"1.0.0"), text(u"ProductName", u"Tarrow")})}),
         versionBlock(u"VarFileInfo", 1, {}, 0,
                      {versionBlock(u"Translation", 0, translation, 4)})});
}

std::wstring stringOf(const Bytes& data, const wchar_t* key) {
    return versionText(data, {L"StringFileInfo", L"040904b0", key}).value_or(L"<missing>");
}

TEST(VersionInfoEdit, SetsVersionsAndTextsAndKeepsTheRest) {
    VersionEdits edits;
    edits.version = std::array<std::uint16_t, 4>{2, 1, 0, 7};
    edits.texts = {{L"productname", L"Hello"}, {L"LegalCopyright", L"\u00a9 Example"}};
    const Bytes edited = editVersionInfo(launcherVersion(), edits);
    EXPECT_EQ(fixedFileVersion(edited), (std::array<std::uint16_t, 4>{2, 1, 0, 7}));
    EXPECT_EQ(stringOf(edited, L"ProductName"), L"Hello");
    EXPECT_EQ(stringOf(edited, L"LegalCopyright"), L"\u00a9 Example");
    EXPECT_EQ(stringOf(edited, L"FileDescription"), L"Java application launcher");
    EXPECT_EQ(stringOf(edited, L"FileVersion"), L"1.0.0");
    EXPECT_EQ(versionText(edited, {L"VarFileInfo", L"Translation"}).has_value(), true);
    EXPECT_EQ(word(edited, 0), edited.size());
    // The product version changes with the file version.
    EXPECT_EQ(dword(edited, 40 + 16), 0x00020001u);
    EXPECT_EQ(dword(edited, 40 + 20), 0x00000007u);
    // Nothing to change gives the same bytes, and editing is repeatable.
    EXPECT_EQ(editVersionInfo(launcherVersion(), {}), launcherVersion());
    EXPECT_EQ(editVersionInfo(edited, edits), edited);
}

TEST(VersionInfoEdit, RefusesDamagedResources) {
    Bytes cut = launcherVersion();
    cut.resize(cut.size() - 10);
    Bytes noFixedInfo = versionBlock(u"VS_VERSION_INFO", 0, {}, 0);
    VersionEdits edits;
    edits.version = std::array<std::uint16_t, 4>{1, 2, 3, 4};
    for (const Bytes& data : {Bytes{}, cut, noFixedInfo, Bytes(64, 0xFF)})
        EXPECT_NE(errorOf([&] { editVersionInfo(data, edits); }), L"");
}

Resource resource(std::uint16_t type, std::uint16_t name, std::uint16_t language, Bytes bytes,
                  std::uint32_t codePage = 0) {
    Resource r;
    r.keys[0] = type;
    r.keys[1] = name;
    r.keys[2] = language;
    r.bytes = std::move(bytes);
    r.codePage = codePage;
    return r;
}

// Given out of order: the tree puts each in its place.
ResourceTree sampleTree() {
    ResourceTree tree;
    for (Resource r : {resource(6, 7, 0x409, {8, 8}), resource(3, 2, 0x409, Bytes(100, 7)),
                       resource(3, 1, 0x409, {1, 2, 3}), resource(6, 7, 0x407, {9}, 1252),
                       resource(24, 1, 0, {5, 5, 5, 5, 5})})
        putResource(tree, r);
    return tree;
}

bool sameTree(const ResourceTree& a, const ResourceTree& b) {
    auto flat = [](const ResourceTree& tree) {
        std::vector<std::tuple<int, int, int, Bytes, std::uint32_t>> out;
        for (const Resource& r : tree)
            out.emplace_back(r.keys[0], r.keys[1], r.keys[2], r.bytes, r.codePage);
        return out;
    };
    return flat(a) == flat(b);
}

const Bytes& bytesOf(const ResourceTree& tree, std::uint16_t type, std::uint16_t name) {
    for (const Resource& r : tree) {
        if (r.keys[0] == type && r.keys[1] == name)
            return r.bytes;
    }
    static const Bytes none;
    return none;
}

TEST(ResourceTree, WritesWhatItReadsBack) {
    const std::uint32_t address = 0x5000;
    const Bytes section = writeResourceTree(sampleTree(), address);
    const ResourceTree read = readResourceTree(section, address);
    EXPECT_TRUE(sameTree(read, sampleTree()));
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[0].bytes, (Bytes{1, 2, 3}));
    EXPECT_EQ(read[2].keys[2], 0x407);
    EXPECT_EQ(read[4].keys[0], 24);
    EXPECT_EQ(writeResourceTree(readResourceTree(section, address), address), section);
    // The root directory: three types in ascending order, each with a subdirectory.
    EXPECT_EQ(word(section, 12), 0);
    EXPECT_EQ(word(section, 14), 3);
    EXPECT_EQ(dword(section, 16), 3u);
    EXPECT_NE(dword(section, 20) & 0x80000000u, 0u);
    EXPECT_EQ(dword(section, 32), 24u);
}

TEST(ResourceTree, RefusesDamagedSections) {
    const std::uint32_t address = 0x5000;
    const Bytes good = writeResourceTree(sampleTree(), address);
    Bytes cut = good;
    cut.resize(40);
    Bytes elsewhere = good;
    elsewhere.resize(good.size() - 1); // the last resource runs past the section
    Bytes looped = good;
    putDword(looped, 16 + 4, 0x80000000u); // a type that points back at the root
    Bytes named = good;
    putDword(named, 16, 0x80000000u | static_cast<std::uint32_t>(good.size() - 4));
    for (const Bytes& section : {Bytes{}, cut, elsewhere, looped, named})
        EXPECT_NE(errorOf([&] { readResourceTree(section, address); }), L"");
    EXPECT_NE(errorOf([&] { readResourceTree(good, address + 0x1000); }), L"");
}

TEST(ResourceTree, RefusesDirectoriesThatRepeatOneAnother) {
    // Three directories of 400 entries, each entry naming the next directory: 64 million
    // resources from 10 KB, the same one every time.
    const std::uint32_t address = 0x5000, entries = 400;
    const std::uint32_t directory = 16 + 8 * entries;
    Bytes section(3 * directory + 16 + 1);
    for (std::uint32_t level = 0; level < 3; ++level) {
        putWord(section, level * directory + 14, entries);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::size_t entry = level * directory + 16 + 8 * i;
            putDword(section, entry, 1);
            putDword(section, entry + 4, (level + 1) * directory | (level < 2 ? 0x80000000u : 0));
        }
    }
    putDword(section, 3 * directory, address + 3 * directory + 16);
    putDword(section, 3 * directory + 4, 1);
    EXPECT_NE(errorOf([&] { readResourceTree(section, address); }).find(L"damaged"),
              std::wstring::npos);
}

TEST(PeChecksum, FoldsCarriesAndAddsTheLength) {
    EXPECT_EQ(peChecksum({}), 0u);
    EXPECT_EQ(peChecksum({0x01, 0x02, 0x03}), 0x0204u + 3);
    EXPECT_EQ(peChecksum({0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00}), 0x0001u + 1 + 6);
}

// A small 32-bit image: headers, code, resources and one more section after them.
constexpr std::uint32_t kAlign = 0x200;
Bytes image(std::uint32_t lastCharacteristics,
            const ResourceTree& tree = {resource(16, 1, 0x409, launcherVersion())}) {
    Bytes file(4 * kAlign);
    putWord(file, 0, 0x5A4D);
    putDword(file, 0x3C, 0x40);
    putDword(file, 0x40, 0x00004550);
    putWord(file, 0x44, 0x14C);
    putWord(file, 0x46, 3);
    putWord(file, 0x54, 224);
    const std::size_t opt = 0x58;
    putWord(file, opt, 0x10B);
    putDword(file, opt + 32, kAlign);
    putDword(file, opt + 36, kAlign);
    putDword(file, opt + 56, 4 * kAlign);
    putDword(file, opt + 92, 16);
    const Bytes resources = writeResourceTree(tree, 2 * kAlign);
    EXPECT_LE(resources.size(), kAlign);
    putDword(file, opt + 96 + 16, 2 * kAlign); // resources
    putDword(file, opt + 96 + 20, static_cast<std::uint32_t>(resources.size()));
    putDword(file, opt + 96 + 40, 3 * kAlign); // relocations
    putDword(file, opt + 96 + 44, 8);
    const std::uint32_t characteristics[] = {0x60000020, 0x40000040, lastCharacteristics};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const std::size_t at = opt + 224 + 40 * i;
        putDword(file, at + 8, i == 1 ? static_cast<std::uint32_t>(resources.size()) : 8);
        putDword(file, at + 12, (i + 1) * kAlign);
        // The linker leaves the resource section's size in the file unaligned.
        putDword(file, at + 16, i == 1 ? static_cast<std::uint32_t>(resources.size()) : kAlign);
        putDword(file, at + 20, (i + 1) * kAlign);
        putDword(file, at + 36, characteristics[i]);
    }
    std::copy(resources.begin(), resources.end(), file.begin() + 2 * kAlign);
    file[3 * kAlign] = 0xAB;
    return file;
}

TEST(PeResourceSection, GrowsTheSectionAndMovesWhatFollows) {
    const Bytes launcher = image(0x42000040); // discardable, as relocations are
    BrandRequest request = parseBrandRequest(args({L"Hello.exe", L"product=Hello"}));
    std::vector<IconImage> icons(1);
    icons[0].bytes = Bytes(2 * kAlign, 0x11);
    const Bytes branded = brandedImage(launcher, request, icons);
    ASSERT_EQ(branded.size(), 7u * kAlign);
    const std::size_t opt = 0x58;
    const std::size_t reloc = opt + 224 + 80;
    EXPECT_EQ(dword(branded, reloc + 12), 6 * kAlign); // moved in memory
    EXPECT_EQ(dword(branded, reloc + 20), 6 * kAlign); // and in the file
    EXPECT_EQ(branded[6 * kAlign], 0xAB);
    EXPECT_EQ(dword(branded, opt + 96 + 40), 6 * kAlign); // the directory follows it
    EXPECT_EQ(dword(branded, opt + 56), 7 * kAlign);      // the image's size
    const std::uint32_t checksum = dword(branded, opt + 64);
    Bytes zeroed = branded;
    putDword(zeroed, opt + 64, 0);
    EXPECT_EQ(checksum, peChecksum(zeroed));
    const ResourceSection section = readResourceSection(branded);
    const ResourceTree tree = readResourceTree(section.bytes, section.address);
    EXPECT_EQ(bytesOf(tree, 3, 1), icons[0].bytes);
    EXPECT_EQ(word(bytesOf(tree, 14, 1), 6 + 12), 1);
    const Bytes& version = bytesOf(tree, 16, 1);
    EXPECT_EQ(stringOf(version, L"ProductName"), L"Hello");
    EXPECT_EQ(stringOf(version, L"InternalName"), L"Hello");
    EXPECT_EQ(brandedImage(branded, request, icons), branded);
}

// An icon group naming the icons of `ids`.
Bytes groupOf(const std::vector<std::uint16_t>& ids) {
    std::vector<IconImage> images(ids.size());
    for (IconImage& image : images)
        image.bytes = {1};
    return iconGroup(images, ids);
}

TEST(PeResourceSection, KeepsTheImagesOfTheOtherIconGroups) {
    const ResourceTree tree{resource(3, 1, 0x409, {1}), resource(3, 2, 0x409, {2}),
                            resource(3, 3, 0x409, {3}), resource(14, 1, 0x409, groupOf({1, 2})),
                            resource(14, 2, 0x409, groupOf({2, 3}))};
    std::vector<IconImage> icons(2);
    icons[0].bytes = {7};
    icons[1].bytes = {8};
    const Bytes branded =
        brandedImage(image(0x42000040, tree), parseBrandRequest(args({L"Hello.exe"})), icons);
    const ResourceSection section = readResourceSection(branded);
    const ResourceTree read = readResourceTree(section.bytes, section.address);
    EXPECT_EQ(bytesOf(read, 3, 1), (Bytes{7}));
    EXPECT_EQ(bytesOf(read, 3, 2), (Bytes{2})); // still named by group 2
    EXPECT_EQ(bytesOf(read, 3, 3), (Bytes{3}));
    EXPECT_EQ(bytesOf(read, 3, 4), (Bytes{8}));
    EXPECT_EQ(bytesOf(read, 14, 2), groupOf({2, 3}));
    EXPECT_EQ(word(bytesOf(read, 14, 1), 6 + 14 + 12), 4);
}

TEST(PeResourceSection, RefusesToMoveSectionsTheProgramUses) {
    const Bytes launcher = image(0xC0000040); // writable data after the resources
    const BrandRequest request = parseBrandRequest(args({L"Hello.exe"}));
    std::vector<IconImage> icons(1);
    icons[0].bytes = Bytes(3 * kAlign, 0x11);
    EXPECT_NE(
        errorOf([&] { brandedImage(launcher, request, icons); }).find(L"sections the program uses"),
        std::wstring::npos);
    EXPECT_NE(errorOf([&] { brandedImage(Bytes(4096, 0), request, icons); }), L"");
}

TEST(PeResourceSection, RefusesResourcesThatOverlapTheHeaders) {
    Bytes launcher = image(0x42000040);
    const std::size_t opt = 0x58;
    const std::size_t resources = opt + 224 + 40;
    putDword(launcher, opt + 36, 0x10); // a file alignment smaller than the headers
    putDword(launcher, resources + 16, static_cast<std::uint32_t>(launcher.size()));
    putDword(launcher, resources + 20, 0); // the section's data starts at the file's start
    const BrandRequest request = parseBrandRequest(args({L"Hello.exe"}));
    EXPECT_NE(errorOf([&] { brandedImage(launcher, request, {}); }).find(L"damaged"),
              std::wstring::npos);
}

} // namespace
