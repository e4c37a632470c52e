#include <gtest/gtest.h>

#include "JVMVersion.h"
#include "ValidListToken.h"

using namespace tarrow;

TEST(JVMVersion, ParsingDropsTheClassicLeadingOne) {
    EXPECT_EQ(parseVersion(L"1.8.0_45"), JVMVersion(8, 0, 45));
    EXPECT_EQ(parseVersion(L"1.6.0"), JVMVersion(6, 0, 0));
    EXPECT_EQ(parseVersion(L"9"), JVMVersion(9, 0, 0));
    // Only the leading "1." is dropped: 1.1.8 reads as 1.8.
    EXPECT_EQ(parseVersion(L"1.1.8"), JVMVersion(1, 8, 0));
    EXPECT_EQ(parseVersion(L"11.0.2"), JVMVersion(11, 0, 2));
    EXPECT_EQ(parseVersion(L"0.0.0.0").value(), 0u);
    EXPECT_EQ(parseVersion(L"1..7__3").value(), JVMVersion(7, 3, 0).value());
}

TEST(JVMVersion, ComponentsAreKeptWholeAndSaturateAbove65535) {
    const struct {
        long major, minor, micro;
        int readMajor, readMinor, readMicro;
        bool saturated;
        const wchar_t* text;
    } cases[] = {
        {8, 0, 151, 8, 0, 151, false, L"8.0.151"},
        {8, 0, 471, 8, 0, 471, false, L"8.0.471"},
        {300, 1, 999, 300, 1, 999, false, L"300.1.999"},
        {8, 0, 65535, 8, 0, 65535, false, L"8.0.65535"},
        {8, 0, 65536, 8, 0, 65535, true, L"8.0.65535 (a number above 65535 read as 65535)"},
        {70000, -3, 2, 65535, 0, 2, true, L"65535.0.2 (a number above 65535 read as 65535)"},
    };
    for (const auto& c : cases) {
        const JVMVersion v(c.major, c.minor, c.micro);
        EXPECT_EQ(v.major(), c.readMajor) << c.text;
        EXPECT_EQ(v.minor(), c.readMinor) << c.text;
        EXPECT_EQ(v.micro(), c.readMicro) << c.text;
        EXPECT_EQ(v.saturated(), c.saturated) << c.text;
        EXPECT_EQ(versionText(v), c.text);
    }
    // A saturated component stays marked when another is replaced; replacing with a huge value
    // marks it too.
    JVMVersion big(8, 0, 100000);
    big.setMinor(7);
    EXPECT_EQ(big, JVMVersion(8, 7, 65535));
    EXPECT_TRUE(big.saturated());
    JVMVersion registered = parseVersion(L"1.8.0_451");
    registered.setMinor(2147483647);
    EXPECT_EQ(registered, JVMVersion(8, 65535, 451));
    EXPECT_TRUE(registered.saturated());
    EXPECT_TRUE(parseVersion(L"1.8.0_9999999").saturated());
    // No component spills into the next.
    EXPECT_TRUE(JVMVersion(8, 0, 65535) < JVMVersion(8, 1, 0));
    EXPECT_TRUE(JVMVersion(8, 65535, 65535) < JVMVersion(9, 0, 0));
    EXPECT_TRUE(JVMVersion(1, 8, 0) < JVMVersion(11, 0, 0));
}

// Java 8 updates from 256 on are told apart, read from a registry subkey name and from a Sun
// program's file version alike, by valid-list tokens and version-option patterns.
TEST(JVMVersion, Java8UpdatesAbove255) {
    enum Against { Token, Option };
    const struct {
        const wchar_t* subkey;
        std::uint16_t fileUpdate; // the third file-version word: the update times ten
        Against against;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        {L"1.8.0_261", 2610, Token, L"1.8.0_300+", false},
        {L"1.8.0_451", 4510, Token, L"1.8.0_300+", true},
        {L"1.8.0_471", 4710, Token, L"JRE_1.8.0_300+", true},
        {L"1.8.0_261", 2610, Token, L"1.8.0_255+", true},
        {L"1.8.0_261", 2610, Token, L"1.8.0_261", true},
        {L"1.8.0_451", 4510, Token, L"1.8.0_261", false},
        {L"1.8.0_471", 4710, Token, L"1.8.0_471", true},
        {L"1.8.0_451", 4510, Token, L"1.8.0_471", false},
        {L"1.8.0_261", 2610, Option, L"1.8.0_300-", true},
        {L"1.8.0_451", 4510, Option, L"1.8.0_300-", false},
        {L"1.8.0_471", 4710, Option, L"1.8.0_300-", false},
        {L"1.8.0_261", 2610, Option, L"1.8.0_255-", false},
        {L"1.8.0_261", 2610, Option, L"1.8.0_271", false},
        {L"1.8.0_451", 4510, Option, L"1.8.0_271", false},
        {L"1.8.0_471", 4710, Option, L"1.8.0_471", true},
        {L"1.8.0_451", 4510, Option, L"1.8.0_300+", true},
        {L"1.8.0_261", 2610, Option, L"1.8.0_300+", false},
        {L"1.8.0_471", 4710, Option, L"1.8-", true},
        {L"1.8.0_471", 4710, Option, L"1.8*", true},
    };
    for (const auto& c : cases) {
        const JVMVersion fromSubkey = parseVersion(c.subkey);
        const JVMVersion fromFile = versionFromFileVersion({8, 0, c.fileUpdate, 8}, true);
        EXPECT_EQ(fromSubkey, fromFile) << c.subkey;
        const bool matches = c.against == Token
                                 ? tokenAcceptsKindAndVersion(parseValidListToken(c.pattern),
                                                              VMKind::JRE, fromSubkey)
                                 : matchesVersionOptionPattern(fromSubkey, c.pattern);
        EXPECT_EQ(matches, c.matches) << c.subkey << " against " << c.pattern;
    }
}

TEST(JVMVersion, FromTheFixedFileVersionOfAVmProgram) {
    const struct {
        std::array<std::uint16_t, 4> words;
        bool sun;
        JVMVersion expected;
    } cases[] = {
        {{1, 4, 20, 6}, true, JVMVersion(4, 2, 6)},      // 1.4.2 by Sun: update times ten
        {{6, 0, 450, 6}, true, JVMVersion(6, 0, 45)},    // 1.6.0_45 written as 6.0.450
        {{1, 6, 0, 0}, false, JVMVersion(6, 0, 0)},      // 1.6.0 by IBM: 1.x.y.z
        {{8, 0, 1510, 12}, true, JVMVersion(8, 0, 151)}, // 8u151 reads as before
        {{11, 0, 20, 0}, true, JVMVersion(11, 0, 20)},   // 9 and later: feature.interim.update
        {{17, 0, 5, 0}, true, JVMVersion(17, 0, 5)},     // not 17.0.0
        {{17, 0, 9, 0}, true, JVMVersion(17, 0, 9)},     // so 17.0.9 is above 17.0.5
        {{17, 0, 5, 0}, false, JVMVersion(17, 0, 5)},    // IBM's 17.0.5, not 0.5.0
        {{21, 0, 1, 0}, true, JVMVersion(21, 0, 1)},     {{9, 0, 4, 11}, true, JVMVersion(9, 0, 4)},
    };
    for (const auto& c : cases) {
        const JVMVersion read = versionFromFileVersion(c.words, c.sun);
        EXPECT_EQ(read, c.expected) << c.words[0] << "." << c.words[1] << "." << c.words[2] << "."
                                    << c.words[3] << (c.sun ? " Sun" : " other") << " read as "
                                    << read.major() << "." << read.minor() << "." << read.micro();
    }
    // A 9+ program and its registry subkey ("17.0.5", read as major, 0, update) agree, so that
    // one runtime found both ways is recognised as one.
    JVMVersion registered = parseVersion(L"17.0.5");
    registered.setMinor(0);
    EXPECT_EQ(versionFromFileVersion({17, 0, 5, 0}, false), registered);
}

TEST(VersionPattern, Syntax) {
    EXPECT_TRUE(isVersionSpec(L""));
    EXPECT_TRUE(isVersionSpec(L"1.8+"));
    EXPECT_TRUE(isVersionSpec(L"1.8*"));
    EXPECT_TRUE(isVersionSpec(L"1.8.0"));
    EXPECT_FALSE(isVersionSpec(L".1"));
    EXPECT_FALSE(isVersionSpec(L"1."));
    EXPECT_FALSE(isVersionSpec(L"1..8"));
    EXPECT_FALSE(isVersionSpec(L"1+.8"));
    EXPECT_FALSE(isVersionSpec(L"1.8_45"));
    EXPECT_FALSE(isVersionSpec(L"JRE"));
}

TEST(VersionPattern, PlusStarAndPlainForms) {
    const JVMVersion v8_161(8, 0, 161), v8_1_0(8, 1, 0), v8_0_45(8, 0, 45);
    EXPECT_TRUE(matchesVersionSpec(v8_161, L"1.8"));
    EXPECT_FALSE(matchesVersionSpec(v8_1_0, L"1.8"));
    EXPECT_TRUE(matchesVersionSpec(v8_161, L"1.8*"));
    EXPECT_TRUE(matchesVersionSpec(v8_1_0, L"1.8*"));
    EXPECT_TRUE(matchesVersionSpec(JVMVersion(8, 1, 5), L"1.8.1*"));
    EXPECT_FALSE(matchesVersionSpec(JVMVersion(8, 2, 0), L"1.8.1*"));
    EXPECT_TRUE(matchesVersionSpec(JVMVersion(11, 0, 2), L"1.7+"));
    EXPECT_FALSE(matchesVersionSpec(JVMVersion(7, 0, 80), L"1.8+"));
    EXPECT_TRUE(matchesVersionSpec(v8_0_45, L"1.8.0_45"));
    EXPECT_FALSE(matchesVersionSpec(v8_161, L"1.8.0_45"));
    EXPECT_FALSE(matchesVersionSpec(v8_0_45, L"1.8.0_45*"));
    EXPECT_TRUE(matchesVersionSpec(JVMVersion(11, 0, 2), L"11.0.2"));
    EXPECT_FALSE(matchesVersionSpec(JVMVersion(11, 0, 3), L"11.0.2"));
}

// A range includes its bound: "+" means "this version or later".
TEST(VersionPattern, RangesIncludeTheirBound) {
    const struct {
        JVMVersion version;
        const wchar_t* spec;
        bool matches;
    } cases[] = {
        {JVMVersion(8, 0, 0), L"1.8+", true},       {JVMVersion(7, 255, 255), L"1.8+", false},
        {JVMVersion(8, 0, 45), L"1.8.0_45+", true}, {JVMVersion(8, 0, 44), L"1.8.0_45+", false},
        {JVMVersion(11, 0, 0), L"11+", true},       {JVMVersion(10, 0, 9), L"11+", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesVersionSpec(c.version, c.spec), c.matches) << c.spec;
}

TEST(VersionOptionPattern, FormsOfTheValidListAndTheEarlierForm) {
    const struct {
        const wchar_t* pattern;
        bool valid;
    } cases[] = {
        {L"9+", true},       {L"1.8*", true},  {L"17*", true},       {L"11", true},
        {L"1.8.0_45", true}, {L"13-", true},   {L"1.8.0_45-", true}, {L"1.8-", true},
        {L"", false},        {L"-", false},    {L"9+-", false},      {L"17*-", false},
        {L"1.8+_45", false}, {L"1.8_", false}, {L"_45", false},      {L"1.8__45", false},
        {L"9 +", false},     {L"x", false},    {L"1..8", false},     {L".9", false},
        {L"9-+", false},     {L"13--", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isVersionOptionPattern(c.pattern), c.valid) << c.pattern;
}

TEST(VersionOptionPattern, MatchesLikeTheValidListOrThatVersionAndEarlier) {
    const JVMVersion v8(8, 0, 151), v9(9, 0, 4), v13(13, 0, 2), v14(14, 0, 0), v17(17, 0, 9),
        v25(25, 0, 1);
    const struct {
        const wchar_t* pattern;
        JVMVersion version;
        bool matches;
    } cases[] = {
        {L"9+", v8, false},
        {L"9+", v9, true},
        {L"9+", v25, true},
        {L"17+", v14, false},
        {L"17+", v17, true},
        {L"1.8*", v8, true},
        {L"1.8*", v9, false},
        {L"17*", v17, true},
        {L"11", JVMVersion(11, 0, 2), true},
        {L"1.8.0_151", v8, true},
        {L"1.8.0_45", v8, false},
        {L"13-", v13, true},
        {L"13-", v8, true},
        {L"13-", v14, false},
        {L"13-", JVMVersion(13, 4, 9), true},
        {L"1.8-", v8, true},
        {L"1.8-", v9, false},
        {L"1.8.0_45-", JVMVersion(8, 0, 45), true},
        {L"1.8.0_45-", JVMVersion(8, 0, 46), false},
        {L"1.8.0_45-", JVMVersion(7, 0, 80), true},
        {L"17.0.5-", JVMVersion(17, 0, 5), true},
        {L"17.0.5-", v17, false},
        {L"11.2-", JVMVersion(11, 2, 200), true},
        {L"11.2-", JVMVersion(11, 3, 0), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesVersionOptionPattern(c.version, c.pattern), c.matches)
            << c.pattern << " " << c.version.major() << "." << c.version.minor() << "."
            << c.version.micro();
}
