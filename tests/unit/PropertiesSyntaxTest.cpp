#include <gtest/gtest.h>

#include "PropertiesSyntax.h"

using namespace tarrow;

namespace {

PropertySet read(const std::string& contents) {
    PropertySet properties;
    parseProperties(contents, properties);
    return properties;
}

} // namespace

TEST(PropertiesReader, WindowsLineEndsTabsAndComments) {
    const PropertySet p = read("# a comment=1\r\n\tkey\t=\t value \r\nother=x\r\n");
    EXPECT_EQ(p.get(L"key"), L"value");
    EXPECT_EQ(p.get(L"other"), L"x");
    EXPECT_FALSE(p.has(L"# a comment"));
    EXPECT_EQ(p.entries().size(), 2u);
}

TEST(PropertiesReader, IndentedHashIsAKeyNotAComment) {
    const PropertySet p = read("  #key=v\n!bang=w\n");
    EXPECT_EQ(p.get(L"#key"), L"v");
    EXPECT_EQ(p.get(L"!bang"), L"w");
}

TEST(PropertiesReader, FirstEqualsSeparatesAndColonDoesNot) {
    const PropertySet p = read("a:b=c=d\nnoseparator\n=empty key\nempty=\n");
    EXPECT_EQ(p.get(L"a:b"), L"c=d");
    EXPECT_EQ(p.get(L""), L"empty key");
    EXPECT_TRUE(p.has(L"empty"));
    EXPECT_EQ(p.get(L"empty", L"default"), L"");
    EXPECT_FALSE(p.has(L"noseparator"));
}

TEST(PropertiesReader, TrailingBackslashBecomesASpaceWithoutContinuation) {
    const PropertySet p = read("first=a\\\nsecond=b\nlast=z\\");
    EXPECT_EQ(p.get(L"first"), L"a ");
    EXPECT_EQ(p.get(L"second"), L"b");
    EXPECT_EQ(p.get(L"last"), L"z ");
}

TEST(PropertiesReader, UnicodeEscapesAndOtherBackslashPairs) {
    const PropertySet p =
        read("u=\\u00e9\\u41x\\uZ\nd=C:\\\\dir\\n\\t\\=\nk\\=x=1\nend\\=v\nk\\u0041=2\n");
    std::wstring expected = L"\u00e9Ax";
    expected += L'\0';
    expected += L"Z";
    EXPECT_EQ(p.get(L"u"), expected);
    EXPECT_EQ(p.get(L"d"), L"C:\\\\dir\\n\\t\\=");
    EXPECT_EQ(p.get(L"k\\"), L"x=1");
    EXPECT_EQ(p.get(L"end\\"), L"v");
    EXPECT_EQ(p.get(L"kA"), L"2");
}

TEST(PropertiesReader, FourDigitsAtMost) {
    EXPECT_EQ(unescapeProperty(L"\\u00411"), L"A1");
    EXPECT_EQ(unescapeProperty(L"x\\"), L"x\\");
}

TEST(PropertiesReader, BytesAreLatin1Characters) {
    const PropertySet p = read("name=caf\xe9\n");
    EXPECT_EQ(p.get(L"name"), L"caf\u00e9");
}

TEST(PropertiesReader, Utf8FilesWithOrWithoutByteOrderMark) {
    const struct {
        const char* contents;
        const wchar_t* expected; // the value of "cp"
    } cases[] = {
        {"cp=lib\\\xc3\xa4pp.jar\r\n", L"lib\\\u00e4pp.jar"}, // UTF-8
        {"\xef\xbb\xbf"
         "cp=\xe6\x97\xa5\xe6\x9c\xac.jar\n",
         L"\u65e5\u672c.jar"}, // BOM, CJK
        {"\xef\xbb\xbf"
         "cp=\xe4pp\n",
         L"\u00e4pp"},                                           // BOM, then ISO 8859-1
        {"cp=\xe4pp\nx=\xc3\xa4\n", L"\u00e4pp"},                // one invalid byte: all ISO 8859-1
        {"cp=\xf0\x9f\x98\x80 \\u00e4\n", L"\U0001F600 \u00e4"}, // 4 bytes and an escape
    };
    for (const auto& c : cases)
        EXPECT_EQ(read(c.contents).get(L"cp", L"(missing)"), c.expected) << c.contents;
    // An ISO 8859-1 file whose text happens to be valid UTF-8 now reads as UTF-8.
    EXPECT_EQ(read("x=\xc3\xa4\n").get(L"x"), L"\u00e4");
}

TEST(PropertiesReader, LaterKeyWins) {
    const PropertySet p = read("a=1\na=2\n");
    EXPECT_EQ(p.get(L"a"), L"2");
}

TEST(PropertiesEscape, BackslashesDoubledAndNonAsciiAsFourLowerHexDigits) {
    EXPECT_EQ(escapeForProperties(L"C:\\Temp\\x"), L"C:\\\\Temp\\\\x");
    EXPECT_EQ(escapeForProperties(L"\u00e9\u20ac\x7f"), L"\\u00e9\\u20ac\x7f");
    // What would end the line or be skipped by a Java reader is escaped as Java reads it.
    EXPECT_EQ(escapeForProperties(L"a\nb\r\tc\f\x01"), L"a\\nb\\r\\tc\\f\\u0001");
    EXPECT_EQ(escapeForProperties(L"  x y"), L"\\  x y");
}

TEST(PropertiesEscape, EscapedTextReadsBackToTheSameValue) {
    const std::wstring value = L"C:\\Dokumente und Einstellungen\\J\u00fcrgen \u4e2d";
    const std::wstring escaped = escapeForProperties(value);
    PropertySet p;
    parseProperties("k=" + std::string(escaped.begin(), escaped.end()), p);
    EXPECT_EQ(unescapeProperty(L"\\u00fc"), L"\u00fc");
    // Backslash pairs are kept by the reader, so only the \u escapes are resolved.
    EXPECT_EQ(p.get(L"k"), L"C:\\\\Dokumente und Einstellungen\\\\J\u00fcrgen \u4e2d");
}
