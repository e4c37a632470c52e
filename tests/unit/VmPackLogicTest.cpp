#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "BuildOptions.h"
#include "DigestText.h"
#include "DownloadProgress.h"
#include "HttpResume.h"
#include "LocalHeader.h"
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
    // Spaces around the whole name go, those around a step inside it stay.
    EXPECT_EQ(cleanEntryName(L" \\jre/ a b /x "), L"jre\\ a b \\x");
    EXPECT_EQ(cleanEntryName(L"jre/ "), L"jre");
    EXPECT_EQ(cleanEntryName(L"  "), L"");
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

TEST(LocalHeader, FieldsAndWhetherTheDataCanBeWrittenAsItArrives) {
    // Signature, version 20, flags, method, time 0x6A20, date 0x5A21, check value, sizes 7 and
    // 9, a name of 5 bytes and an extra field of 4.
    const unsigned char plain[30] = {'P',  'K',  3,    4,    20,   0,    0,    0,    8, 0,
                                     0x20, 0x6A, 0x21, 0x5A, 0x78, 0x56, 0x34, 0x12, 7, 0,
                                     0,    0,    9,    0,    0,    0,    5,    0,    4, 0};
    LocalHeader header;
    ASSERT_EQ(readLocalHeader(plain, sizeof plain, header), LocalHeaderRead::Read);
    EXPECT_EQ(header.dosDate, 0x5A216A20u);
    EXPECT_EQ(header.crc, 0x12345678u);
    EXPECT_EQ(header.compressedSize, 7u);
    EXPECT_EQ(header.size, 9u);
    EXPECT_EQ(header.length(), 39u);
    EXPECT_TRUE(header.writableAsItArrives());
    EXPECT_EQ(readLocalHeader(plain, 29, header), LocalHeaderRead::NeedMore);
    const unsigned char directory[30] = {'P', 'K', 1, 2};
    EXPECT_EQ(readLocalHeader(directory, sizeof directory, header), LocalHeaderRead::NotOne);
    // (what is changed: byte, value; whether it can still be written as it arrives)
    const struct {
        const char* what;
        int at;
        unsigned char value;
        bool writable;
    } cases[] = {
        {"encrypted", 6, 1, false},       {"data descriptor", 6, 8, false},
        {"UTF-8 name flag", 7, 8, true},  {"stored, sizes differ", 8, 0, false},
        {"method 12", 8, 12, false},      {"64-bit compressed size", 21, 0xFF, false},
        {"64-bit size", 25, 0xFF, false},
    };
    for (const auto& c : cases) {
        unsigned char bytes[30];
        std::copy(std::begin(plain), std::end(plain), bytes);
        bytes[c.at] = c.value;
        if (c.at == 21 || c.at == 25)
            bytes[c.at - 1] = bytes[c.at - 2] = bytes[c.at - 3] = 0xFF;
        ASSERT_EQ(readLocalHeader(bytes, sizeof bytes, header), LocalHeaderRead::Read) << c.what;
        EXPECT_EQ(header.writableAsItArrives(), c.writable) << c.what;
    }
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

TEST(HttpResume, ByteCountsAreSixtyFourBit) {
    const struct {
        const wchar_t* text;
        std::optional<std::uint64_t> count;
    } cases[] = {
        {L"0", 0},
        {L" 4294967296 ", 4294967296ULL}, // 4 GiB: beyond a 32-bit number
        {L"18446744073709551615", UINT64_MAX},
        {L"18446744073709551616", std::nullopt},
        {L"", std::nullopt},
        {L"-1", std::nullopt},
        {L"+5", std::nullopt},
        {L"12a", std::nullopt},
        {L"1 2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseByteCount(c.text), c.count) << c.text;
}

TEST(HttpResume, ByteCountsAsText) {
    EXPECT_EQ(byteCountText(0), L"0");
    EXPECT_EQ(byteCountText(4294967296ULL), L"4294967296");
    EXPECT_EQ(byteCountText(UINT64_MAX), L"18446744073709551615");
}

TEST(HttpResume, ContentRangeForms) {
    const struct {
        const wchar_t* text;
        bool valid;
        std::uint64_t first, last;
        std::optional<std::uint64_t> total;
    } cases[] = {
        {L"bytes 100-199/200", true, 100, 199, 200},
        {L"Bytes  0-4294967296/4294967297", true, 0, 4294967296ULL, 4294967297ULL},
        {L"bytes 5-9/*", true, 5, 9, std::nullopt},
        {L"bytes */200", false, 0, 0, std::nullopt}, // an unsatisfiable range
        {L"bytes 9-5/200", false, 0, 0, std::nullopt},
        {L"bytes 0-200/200", false, 0, 0, std::nullopt}, // last byte beyond the size
        {L"bytes 0-1/2x", false, 0, 0, std::nullopt},
        {L"items 0-1/2", false, 0, 0, std::nullopt},
        {L"bytes0-1/2", false, 0, 0, std::nullopt},
        {L"bytes 0-18446744073709551616/*", false, 0, 0, std::nullopt},
        {L"", false, 0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto range = parseContentRange(c.text);
        ASSERT_EQ(range.has_value(), c.valid) << c.text;
        if (range) {
            EXPECT_EQ(range->first, c.first) << c.text;
            EXPECT_EQ(range->last, c.last) << c.text;
            EXPECT_EQ(range->total, c.total) << c.text;
        }
    }
}

TEST(HttpResume, AnswersToARangeRequest) {
    using A = ResumeAction;
    constexpr std::uint64_t big = 6000000000ULL; // a file of more than 4 GiB
    const struct {
        ResumeAnswer answer;
        std::uint64_t received;
        std::optional<std::uint64_t> expected;
        A action;
        std::optional<std::uint64_t> total;
    } cases[] = {
        {{206, L"bytes 100-199/200", L"100", L"", L""}, 100, 200, A::Append, 200},
        {{206, L"bytes 100-199/*", L"100", L"", L""}, 100, 200, A::Append, 200},
        {{206, L"bytes 100-199/*", L"100", L"", L""}, 100, std::nullopt, A::Append, std::nullopt},
        {{206, L"bytes 4294967296-5999999999/6000000000", L"", L"", L""},
         4294967296ULL,
         big,
         A::Append,
         big},
        // The whole file, whether as 200 or as a range from 0 to its end, replaces what came.
        {{200, L"", L"300", L"", L""}, 100, 200, A::Replace, 300},
        {{200, L"", L"", L"", L""}, 100, 200, A::Replace, std::nullopt},
        {{206, L"bytes 0-199/200", L"200", L"", L""}, 100, 200, A::Replace, 200},
        {{206, L"bytes 0-249/250", L"250", L"", L""}, 100, 200, A::Replace, 250},
        // Anything else starts the transfer again.
        {{206, L"bytes 50-199/200", L"150", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{206, L"bytes 150-199/200", L"50", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{206, L"bytes 100-149/200", L"50", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{206, L"bytes 100-249/250", L"150", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{206, L"bytes 0-99/*", L"100", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{206, L"", L"100", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{416, L"bytes */200", L"", L"", L""}, 200, 200, A::Restart, std::nullopt},
        {{404, L"", L"", L"", L""}, 100, 200, A::Restart, std::nullopt},
        {{0, L"", L"", L"", L""}, 100, 200, A::Restart, std::nullopt},
    };
    for (const auto& c : cases) {
        const ResumePlan plan = judgeResumeAnswer(c.answer, c.received, c.expected, L"");
        EXPECT_EQ(plan.action, c.action) << c.answer.status << " " << c.answer.contentRange.size();
        if (plan.action != A::Restart) {
            EXPECT_EQ(plan.total, c.total) << c.answer.status;
        }
    }
}

TEST(HttpResume, AppendsOnlyAPieceOfTheSameFile) {
    using A = ResumeAction;
    const std::wstring date = L"Tue, 01 Dec 2026 10:00:00 GMT";
    const std::wstring later = L"Wed, 02 Dec 2026 10:00:00 GMT";
    const std::wstring piece = L"bytes 100-199/200";
    const struct {
        std::wstring validator; // stored from the first answer
        ResumeAnswer answer;
        A action;
    } cases[] = {
        {L"\"v1\"", {206, piece, L"100", L"\"v1\"", later}, A::Append},
        {date, {206, piece, L"100", L"\"v2\"", L" " + date}, A::Append},
        {L"", {206, piece, L"100", L"\"v2\"", later}, A::Append},
        // A server that ignored "If-Range" sends a piece of the changed file, or does not say.
        {L"\"v1\"", {206, piece, L"100", L"\"v2\"", later}, A::Restart},
        {L"\"v1\"", {206, piece, L"100", L"W/\"v1\"", L""}, A::Restart},
        {L"\"v1\"", {206, piece, L"100", L"", L""}, A::Restart},
        {date, {206, piece, L"100", L"", later}, A::Restart},
        // The whole new file replaces what came, whatever it is called.
        {L"\"v1\"", {206, L"bytes 0-199/200", L"200", L"\"v2\"", later}, A::Replace},
        {L"\"v1\"", {200, L"", L"200", L"\"v2\"", later}, A::Replace},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(judgeResumeAnswer(c.answer, 100, 200, c.validator).action, c.action)
            << c.answer.status << " " << c.answer.entityTag.size() << " "
            << c.answer.lastModified.size();
    }
}

TEST(HttpResume, ResumeRequestHeaders) {
    EXPECT_EQ(resumeValidator(L"\"v1\"", L"Tue, 01 Dec 2026 10:00:00 GMT"), L"\"v1\"");
    EXPECT_EQ(resumeValidator(L"", L" Tue, 01 Dec 2026 10:00:00 GMT"),
              L"Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(resumeValidator(L"W/\"v1\"", L"Tue, 01 Dec 2026 10:00:00 GMT"),
              L"Tue, 01 Dec 2026 10:00:00 GMT")
        << "a weak tag is no If-Range validator";
    EXPECT_EQ(resumeValidator(L" W/\"v1\"", L""), L"");
    EXPECT_EQ(resumeValidator(L"\"a\r\nX: 1\"", L""), L"") << "never a second header line";
    EXPECT_EQ(resumeValidator(L"", L""), L"");
    EXPECT_EQ(resumeHeaders(0, L"\"v1\""), L"");
    EXPECT_EQ(resumeHeaders(4294967296ULL, L"\"v1\""),
              L"Range: bytes=4294967296-\r\nIf-Range: \"v1\"\r\n");
    EXPECT_EQ(resumeHeaders(7, L""), L"Range: bytes=7-\r\n");
}
