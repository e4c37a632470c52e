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
