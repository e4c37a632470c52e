#include <gtest/gtest.h>

#include <cstdint>

#include "ClassPathJar.h"

using namespace tarrow;

TEST(ClassPathJar, EntriesBecomeAbsoluteFileUrls) {
    const struct {
        const wchar_t* entry;
        bool folder;
        const char* url; // null: no URL form
    } cases[] = {
        {L"C:\\App Folder\\lib\\a.jar", false, "file:/C:/App%20Folder/lib/a.jar"},
        {L"d:/classes", true, "file:/d:/classes/"},
        {L"C:\\classes\\", true, "file:/C:/classes/"},
        {L"C:\\x\\Gr\u00fc\u00dfe #1%;.jar", false, "file:/C:/x/Gr%C3%BC%C3%9Fe%20%231%25%3B.jar"},
        {L"C:\\x\\\U0001F600.jar", false, "file:/C:/x/%F0%9F%98%80.jar"},
        {L"\\\\server\\share\\a.jar", false, nullptr},
        {L"lib\\a.jar", false, nullptr},
        {L"C:a.jar", false, nullptr},
        {L"C:\\x\\\xD800.jar", false, nullptr}, // an unpaired surrogate
    };
    for (const auto& c : cases) {
        const auto url = classPathUrl(c.entry, c.folder);
        if (!c.url) {
            EXPECT_FALSE(url) << *url;
            continue;
        }
        ASSERT_TRUE(url) << c.url;
        EXPECT_EQ(*url, c.url);
    }
}

TEST(ClassPathJar, ManifestLinesStayWithin72BytesAndJoinBackToTheList) {
    std::vector<std::string> urls;
    std::string expected = "Class-Path:";
    for (int i = 0; i < 500; ++i) {
        urls.push_back("file:/C:/App%20Folder/lib/part" + std::to_string(i) + ".jar");
        expected += " " + urls.back();
    }
    const std::string text = classPathManifest(urls);
    ASSERT_EQ(text.rfind("Manifest-Version: 1.0\r\n", 0), 0u);
    ASSERT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    std::string joined;
    size_t at = text.find("\r\n") + 2;
    bool first = true;
    while (at < text.size() - 2) {
        const size_t end = text.find("\r\n", at);
        const std::string line = text.substr(at, end - at);
        EXPECT_LE(line.size(), 72u);
        if (first)
            joined = line;
        else {
            ASSERT_EQ(line[0], ' ');
            joined += line.substr(1);
        }
        first = false;
        at = end + 2;
    }
    EXPECT_EQ(joined, expected);
    // A short list stays on one line.
    EXPECT_EQ(classPathManifest({"file:/C:/a.jar"}),
              "Manifest-Version: 1.0\r\nClass-Path: file:/C:/a.jar\r\n\r\n");
}

TEST(ClassPathJar, JarHoldsTheManifestStoredWithItsCrc) {
    const std::string manifest = "Manifest-Version: 1.0\r\nClass-Path: file:/C:/a.jar\r\n\r\n";
    const std::string jar = jarWithManifest(manifest);
    auto word = [&](size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(jar[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(jar[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(jar[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(jar[at + 3])) << 24;
    };
    EXPECT_EQ(word(0), 0x04034B50u);
    EXPECT_EQ(jar.substr(30, 20), "META-INF/MANIFEST.MF");
    EXPECT_EQ(jar.substr(50, manifest.size()), manifest);
    EXPECT_EQ(word(14), 0x276192C9u) << std::hex << word(14); // CRC-32 of the manifest
    EXPECT_EQ(word(18), manifest.size());
    // The end record points at the central directory, which points back at the local header.
    const size_t end = jar.size() - 22;
    EXPECT_EQ(word(end), 0x06054B50u);
    const size_t directory = word(end + 16);
    EXPECT_EQ(word(directory), 0x02014B50u);
    EXPECT_EQ(word(directory + 42), 0u);
}
