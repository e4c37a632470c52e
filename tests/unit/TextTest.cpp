#include <gtest/gtest.h>

#include <climits>

#include "Text.h"

using namespace tarrow;

TEST(Text, TrimRemovesEveryControlCharacterAndSpace) {
    EXPECT_EQ(trim(L"\t\r\n \x01value\x1f \t"), L"value");
    EXPECT_EQ(trim(L"  \t "), L"");
    EXPECT_EQ(trim(L"a b"), L"a b");
}

TEST(Text, CaseMappingTouchesAsciiOnly) {
    EXPECT_EQ(toLower(L"AbC\u00c9"), L"abc\u00c9");
    EXPECT_EQ(toUpper(L"\\u00e9x"), L"\\U00E9X");
    EXPECT_TRUE(equalsIgnoreCase(L"SiLeNt", L"silent"));
}

TEST(Text, ReplaceAllHandlesAdjacentAndOverlappingPatterns) {
    EXPECT_EQ(replaceAll(L"a\\\\b\\c", L"\\", L"/"), L"a//b/c");
    EXPECT_EQ(replaceAll(L"aaa", L"aa", L"b"), L"ba");
    EXPECT_EQ(replaceAll(L"x", L"", L"y"), L"x");
}

TEST(Text, Utf8EncodingCoversAllPlanesAndRejectsLoneSurrogates) {
    EXPECT_EQ(toUtf8(L"F\u00fchler \u20ac"), "F\xc3\xbchler \xe2\x82\xac");
    std::wstring pair;
    pair += static_cast<wchar_t>(0xD83D);
    pair += static_cast<wchar_t>(0xDE00);
    if (sizeof(wchar_t) == 2)
        EXPECT_EQ(toUtf8(pair), "\xf0\x9f\x98\x80");
    std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(toUtf8(lone), "\xef\xbf\xbd");
}

TEST(Text, Latin1RoundTrip) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    const std::wstring wide = widenLatin1(bytes);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0xE9], static_cast<wchar_t>(0xE9));
    EXPECT_EQ(narrowLatin1(wide), bytes);
    EXPECT_EQ(narrowLatin1(L"\u20ac"), "?");
}

TEST(Text, DecimalCoversSignAndBothEnds) {
    const struct {
        long long value;
        const wchar_t* text;
    } cases[] = {{0, L"0"},
                 {7, L"7"},
                 {-42, L"-42"},
                 {1000000007, L"1000000007"},
                 {LLONG_MAX, L"9223372036854775807"},
                 {LLONG_MIN, L"-9223372036854775808"}};
    for (const auto& c : cases)
        EXPECT_EQ(decimal(c.value), c.text) << c.value;
}

TEST(Text, WellFormedUtf8) {
    const struct {
        const char* bytes;
        bool wellFormed;
    } cases[] = {
        {"", true},
        {"plain ASCII\r\n", true},
        {"\xc3\xa4", true},          // U+00E4
        {"\xe6\x97\xa5", true},      // U+65E5
        {"\xef\xbf\xbf", true},      // U+FFFF
        {"\xf0\x9f\x98\x80", true},  // U+1F600
        {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF, the last character
        {"\xe4pp", false},           // ISO 8859-1 "a umlaut"
        {"\x80", false},             // stray continuation byte
        {"\xc0\x80", false},         // overlong NUL
        {"\xc1\xbf", false},         // overlong two-byte form
        {"\xe0\x9f\xbf", false},     // overlong three-byte form
        {"\xf0\x8f\xbf\xbf", false}, // overlong four-byte form
        {"\xed\xa0\x80", false},     // encoded high surrogate
        {"\xed\xbf\xbf", false},     // encoded low surrogate
        {"\xf4\x90\x80\x80", false}, // above U+10FFFF
        {"\xf5\x80\x80\x80", false}, // no such lead byte
        {"\xff", false},
        {"ok\xc3", false},         // truncated at the end: two-byte form
        {"ok\xe6\x97", false},     // three-byte form
        {"ok\xf0\x9f\x98", false}, // four-byte form
        {"\xc3\xa4\xc3", false},   // a good character, then a truncated one
        {"\xc3" "A", false},      // continuation byte missing
    };
    for (const auto& c : cases)
        EXPECT_EQ(isWellFormedUtf8(c.bytes), c.wellFormed) << c.bytes;
}

TEST(Text, FileTextIsUtf8WhenWellFormedElseLatin1) {
    EXPECT_EQ(decodeFileText("\xef\xbb\xbf"
                             "a\xc3\xa4"),
              L"a\u00e4");
    EXPECT_EQ(decodeFileText("\xef\xbb\xbf"), L"");
    EXPECT_EQ(decodeFileText("\xef\xbb"), L"\u00ef\u00bb");                 // not a whole mark
    EXPECT_EQ(decodeFileText("a\xc3\xa4\xe4"), L"a\u00c3\u00a4\u00e4");     // one bad byte
    EXPECT_EQ(decodeFileText("x\xc3\xa4y\xef\xbb\xbf"), L"x\u00e4y\ufeff"); // a later mark stays
    EXPECT_EQ(splitLines(std::wstring(L"a\r\nb\n\nc")),
              (std::vector<std::wstring>{L"a", L"b", L"", L"c"}));
}
