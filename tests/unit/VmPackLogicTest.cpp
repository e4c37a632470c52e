#include <gtest/gtest.h>

#include "BuildOptions.h"
#include "DigestText.h"
#include "DownloadProgress.h"
#include "UrlText.h"
#include "ZipEntryName.h"

using namespace tarrow;

TEST(EntryName, HostileNamesStayInsideTheBase) {
    EXPECT_EQ(cleanEntryName(L"..\\..\\evil.txt"), L"evil.txt");
    EXPECT_EQ(cleanEntryName(L"a/../evil.txt"), L"evil.txt");
    EXPECT_EQ(cleanEntryName(L"C:\\evil.txt"), L"evil.txt");
    EXPECT_EQ(cleanEntryName(L"../x"), L"x");
    EXPECT_EQ(cleanEntryName(L"a/../../x"), L"x");
    EXPECT_EQ(cleanEntryName(L"../C:x"), L"x"); // a drive brought to the front goes too
    EXPECT_EQ(cleanEntryName(L"../D:/lib/"), L"lib\\");
    EXPECT_EQ(cleanEntryName(L"W:../x"), L"x");
    EXPECT_EQ(cleanEntryName(L"//server/share/x"), L"server\\share\\x");
    EXPECT_EQ(cleanEntryName(L"a/./b/.."), L"a\\b");
    EXPECT_EQ(cleanEntryName(L".."), L"");
}

TEST(EntryName, OrdinaryNamesKeepTheirFolders) {
    EXPECT_EQ(cleanEntryName(L"jre/bin/java.exe"), L"jre\\bin\\java.exe");
    EXPECT_EQ(cleanEntryName(L"jre/lib/"), L"jre\\lib\\");
    EXPECT_EQ(cleanEntryName(L"dots..in..name.txt"), L"dots..in..name.txt");
}

TEST(EntryAttributes, DosHostsKeepTheirBitsUnixHostsAreMapped) {
    EXPECT_EQ(entryAttributes(0x0014, 0x21), 0x21u);
    EXPECT_EQ(entryAttributes(0x0B14, 0x10), 0x10u);
    // Unix: rw-r--r-- file, drwxr-xr-x folder, r--r--r-- file.
    EXPECT_EQ(entryAttributes(0x0314, 0x81A40000u), 0x20u);
    EXPECT_EQ(entryAttributes(0x0314, 0x41ED0000u | (1u << 30)), 0x30u);
    EXPECT_EQ(entryAttributes(0x0314, 0x81240000u), 0x21u);
}

TEST(EntryTimes, ExtendedTimestampBlock) {
    // An unrelated block first, then "UT" with modification and access times.
    const unsigned char field[] = {0x0A, 0x00, 0x04, 0x00, 1,    2,    3,    4,    0x55,
                                   0x54, 0x09, 0x00, 0x03, 0x00, 0xE1, 0xF5, 0x05, // 100000000
                                   0x01, 0x00, 0x00, 0x00};                        // 1
    const auto times = parseExtendedTimestamp(field, sizeof field);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->modification, unixTimeToFileTime(100000000));
    EXPECT_EQ(times->access, unixTimeToFileTime(1));
    EXPECT_FALSE(times->creation);
    EXPECT_EQ(unixTimeToFileTime(0), 116444736000000000LL);
    EXPECT_FALSE(parseExtendedTimestamp(field, 4));
}

TEST(EntryTimes, ValuesBeyondTheFieldAreIgnored) {
    const unsigned char field[] = {0x55, 0x54, 0x05, 0x00, 0x07, 0x10, 0x00, 0x00, 0x00};
    const auto times = parseExtendedTimestamp(field, sizeof field);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->modification, unixTimeToFileTime(16));
    EXPECT_FALSE(times->access);
}

TEST(EntryTimes, DosDateAndTimeFields) {
    // 2024-02-29 13:45:58
    const std::uint32_t date = ((2024 - 1980) << 9) | (2 << 5) | 29;
    const std::uint32_t time = (13 << 11) | (45 << 5) | 29;
    const DosDateTime d = decodeDosDateTime((date << 16) | time);
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.hour, 13);
    EXPECT_EQ(d.minute, 45);
    EXPECT_EQ(d.second, 58);
}

TEST(DownloadProgress, MarkAfterEvery500ChunksAndSpaceAfterFiveMarks) {
    DownloadProgress progress;
    std::string printed;
    std::vector<int> markedAt;
    for (int chunk = 1; chunk <= 3072; ++chunk) {
        const std::string marks = progress.chunkRead();
        if (!marks.empty())
            markedAt.push_back(chunk);
        printed += marks;
    }
    EXPECT_EQ(markedAt, (std::vector<int>{500, 1000, 1500, 2000, 2500, 3000}));
    EXPECT_EQ(printed, "===== =");
    DownloadProgress few;
    for (int chunk = 1; chunk <= 499; ++chunk)
        EXPECT_EQ(few.chunkRead(), "");
}

TEST(DownloadProgress, LargeReadsGiveTheMarksAtTheSamePositions) {
    DownloadProgress progress;
    std::string printed;
    printed += progress.bytesRead(511 * 1024 + 100); // 511 chunks and a bit
    EXPECT_EQ(printed, "=");
    printed += progress.bytesRead(64 * 1024 * 40); // up to 3071 chunks
    EXPECT_EQ(printed, "===== =");
    EXPECT_EQ(progress.bytesRead(0), "");
}

TEST(BuildOptions, DefaultsAndExactTexts) {
    PropertySet p;
    BuildOptions o = BuildOptions::read(p);
    EXPECT_EQ(o.withVmSearchOption, 20);
    EXPECT_EQ(o.withoutVmSearchOption, 10);
    EXPECT_FALSE(o.specSearch());
    p.set(L"build.with.vm.search.option", L"abc");
    p.set(L"build.jvmspec.applicable", L"true");
    p.set(L"build.jvmspec.total.num", L" 2");
    p.set(L"build.without.vm.direct.download.url.md5Checksum.applicable", L"true");
    o = BuildOptions::read(p);
    EXPECT_EQ(o.withVmSearchOption, 0);
    EXPECT_TRUE(o.specSearch());
    EXPECT_FALSE(o.directChecksumApplicable) << "only the dont.search key counts";
}

TEST(BuildOptions, PackNamesAndUrls) {
    EXPECT_EQ(packFileName(L"http://h/x/jre.vm "), L"jre.vm");
    EXPECT_EQ(packFileName(L"jre.vm"), L"jre.vm");
    EXPECT_EQ(packFileName(L"http://h/x\\..\\..\\evil.vm"), L"evil.vm");
    EXPECT_TRUE(isVmPackUrl(L"ftp://h/a%20b.vm"));
    EXPECT_FALSE(isVmPackUrl(L"http://h/jre.VM"));
    EXPECT_FALSE(isVmPackUrl(L"http://h/jre.vm?x=1"));
    EXPECT_EQ(decodeUrlEscapes(L"/ftp%20pack%2Evm"), L"/ftp pack.vm");
    EXPECT_EQ(decodeUrlEscapes(L"/caf%C3%A9/100%/%zz%4"), L"/caf\u00e9/100%/%zz%4");
    // No NUL, neither escaped nor as an overlong UTF-8 form: it would cut the path short.
    EXPECT_EQ(decodeUrlEscapes(L"/a%00b.vm"), L"/a%00b.vm");
    EXPECT_EQ(decodeUrlEscapes(L"/a%C0%80b.vm"), L"/a\uFFFD\uFFFDb.vm");
    const unsigned char digest[] = {0x90, 0x01, 0x50, 0xab};
    EXPECT_EQ(hexDigest(digest, 4), L"900150ab");
}
