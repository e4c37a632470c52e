// Tables of every pattern form: the "Verify" probe's property patterns and the valid VM list's
// tokens, each at the edges where a pattern starts or stops accepting.
#include <gtest/gtest.h>

#include <map>

#include "ValidListToken.h"
#include "VerifyOutput.h"

using namespace tarrow;

TEST(VerifyPattern, EveryFormAtItsEdges) {
    const struct {
        const wchar_t* value;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        // "*" alone: anything, the empty value too.
        {L"anything", L"*", true},
        {L"", L"*", true},
        // Ending in "*": the text before the first "*" is a prefix, compared case-sensitively.
        {L"1.8.0_151", L"1.8*", true},
        {L"1.8", L"1.8*", true},
        {L"1.7.0", L"1.8*", false},
        {L"1.", L"1.8*", false},
        {L"Oracle", L"oracle*", false},
        {L"1.x", L"1.*8*", true}, // the prefix stops at the first "*"
        {L"1.8", L"1.**", true},
        {L"1*8", L"1*8", true}, // a "*" inside, not at the end, is a plain character
        {L"158", L"1*8", false},
        // Ending in "...": a prefix without any of its trailing dots.
        {L"Oracle Corporation", L"Oracle...", true},
        {L"Oracle", L"Oracle...", true},
        {L"Oracl", L"Oracle...", false},
        {L"Oraclx Corporation", L"Oracle...", false},
        {L"oracle Corporation", L"Oracle...", false},
        {L"1.8.0_151", L"1.8.0.....", true},
        {L"1.8.1", L"1.8.0...", false},
        {L"anything", L"...", true},
        {L"", L"....", true},
        {L"1.8*x", L"1.8*...", true}, // the "*" before the dots is a plain character
        {L"1.8.0", L"1.8*...", false},
        // Two dots are no prefix form: equality.
        {L"x..", L"x..", true},
        {L"x..y", L"x..", false},
        {L"x", L"x..", false},
        // Anything else: equality, case and blanks included.
        {L"x", L"x", true},
        {L"x ", L"x", false},
        {L"X", L"x", false},
        {L"", L"", true},
        {L"x", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesPropertyPattern(c.value, c.pattern), c.matches)
            << "value \"" << c.value << "\" pattern \"" << c.pattern << "\"";
}

TEST(VerifyPattern, OutputIsABannerThenOneLinePerPropertyInNameOrder) {
    // Map order: java.vendor before java.version.
    const std::map<std::wstring, std::wstring> properties = {{L"java.version", L"1.8*"},
                                                             {L"java.vendor", L"Oracle..."}};
    const struct {
        const wchar_t* output;
        bool matches;
    } cases[] = {
        {L"Verify 1.0\r\nOracle Corporation\r\n1.8.0_151\r\n", true},
        {L"  \r\n Verify 1.0\nOracle Corporation\n\n\n1.8.0_151", true}, // blank lines trimmed
        {L"Verify 1.0\n1.8.0_151\nOracle Corporation\n", false},         // wrong order
        {L"Oracle Corporation\n1.8.0_151\n", false},                     // no banner
        {L"Verify 1.0\nOracle Corporation\n", false},                    // a value missing
        {L"Verify 1.0\nOracle Corporation\n1.8.0_151\nextra\n", true},   // more is ignored
        {L"only a banner", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(verifyOutputMatches(c.output, properties), c.matches) << c.output;
    EXPECT_TRUE(verifyOutputMatches(L"banner\nanything", {}));
    EXPECT_FALSE(verifyOutputMatches(L"banner", {}));
}

TEST(ValidListTokenTable, EveryKeywordAndCompoundAtItsEdges) {
    const JVMVersion v1(1, 1, 8), v2(2, 0, 0), v8(8, 0, 151), v80(8, 0, 0), v81(8, 1, 5),
        v9(9, 0, 0), v11(11, 0, 2), msj(1, 4, 0);
    const struct {
        const wchar_t* token;
        VMKind kind;
        JVMVersion version;
        bool accepted;
    } cases[] = {
        {L"ALL", VMKind::MSJ, msj, true},
        {L"all", VMKind::JDK, v11, true},
        {L"J1", VMKind::JRE, v1, true},
        {L"J1", VMKind::JDK, v2, false},
        {L"J1", VMKind::MSJ, msj, false},
        {L"J2", VMKind::JRE, v2, true},
        {L"J2", VMKind::JRE, v1, false},
        {L"J2", VMKind::MSJ, msj, false},
        {L"JDK", VMKind::JDK, v1, true},
        {L"JDK", VMKind::JRE, v8, false},
        {L"JRE", VMKind::JRE, v8, true},
        {L"JRE", VMKind::JDK, v8, false},
        {L"JRE", VMKind::MSJ, msj, false},
        {L"JDK_J1", VMKind::JDK, v1, true},
        {L"JDK_J1", VMKind::JDK, v2, false},
        {L"JDK_J1", VMKind::JRE, v1, false},
        {L"JDK_J2", VMKind::JDK, v2, true},
        {L"JDK_J2", VMKind::JDK, v1, false},
        {L"JDK_J2", VMKind::JRE, v8, false},
        {L"JRE_J1", VMKind::JRE, v1, true},
        {L"JRE_J1", VMKind::JRE, v2, false},
        {L"JRE_J1", VMKind::JDK, v1, false},
        {L"jre_j2", VMKind::JRE, v2, true},
        {L"JRE_J2", VMKind::JRE, v1, false},
        {L"JRE_J2", VMKind::JDK, v8, false},
        {L"MSJ", VMKind::MSJ, msj, true},
        {L"MSJ", VMKind::JRE, msj, false},
        // "+": this version and later, whole-number comparison.
        {L"JRE_1.8+", VMKind::JRE, v80, true},
        {L"JRE_1.8+", VMKind::JRE, v11, true},
        {L"JRE_1.8+", VMKind::JRE, JVMVersion(7, 255, 255), false},
        {L"JRE_1.8+", VMKind::JDK, v11, false},
        {L"1.8.0_151+", VMKind::JDK, JVMVersion(8, 0, 150), false},
        {L"1.8.0_151+", VMKind::JDK, v8, true},
        // "*": the major (and the minor when given) must be equal; a micro matches nothing.
        {L"1.8*", VMKind::JRE, v81, true},
        {L"1.8*", VMKind::JRE, v9, false},
        {L"1.8.1*", VMKind::JRE, v81, true},
        {L"1.8.1*", VMKind::JRE, v8, false},
        {L"1.8.0_45*", VMKind::JRE, JVMVersion(8, 0, 45), false},
        // Plain: major and minor, or all three when a micro is given.
        {L"1.8", VMKind::JRE, v8, true},
        {L"1.8", VMKind::JRE, v81, false},
        {L"1.8.0_45", VMKind::JRE, JVMVersion(8, 0, 45), true},
        {L"1.8.0_45", VMKind::JRE, JVMVersion(8, 0, 46), false},
        {L"11", VMKind::JRE, JVMVersion(11, 0, 20), true},
        // Kinds in compounds: the last one counts; "ALL" tests no kind.
        {L"JDK_JRE_1.8*", VMKind::JRE, v8, true},
        {L"JRE_JDK_1.8*", VMKind::JRE, v8, false},
        {L"ALL_1.7", VMKind::MSJ, JVMVersion(7, 0, 3), true},
        {L"JRE_ALL", VMKind::JDK, v1, true},
    };
    for (const auto& c : cases) {
        const ValidListToken parsed = parseValidListToken(c.token);
        EXPECT_EQ(tokenAcceptsKindAndVersion(parsed, c.kind, c.version), c.accepted)
            << c.token << " kind " << static_cast<int>(c.kind) << " version " << c.version.major()
            << "." << c.version.minor() << "." << c.version.micro();
    }
}

TEST(ValidListTokenTable, CompoundPiecesGoToTheirSlots) {
    const struct {
        const wchar_t* token;
        const wchar_t* keyword;
        const wchar_t* kind;
        const wchar_t* version;
        const wchar_t* validator;
    } cases[] = {
        {L"jre_1.8.0_45_checker", L"", L"JRE", L"1.8.0_45", L"CHECKER"},
        {L"JDK_one_JRE_two", L"", L"JRE", L"", L"TWO"},
        {L"1.8+_check", L"", L"", L"1.8+", L"CHECK"},
        {L"check_11*", L"", L"", L"11*", L"CHECK"},
        {L"JRE__1.8", L"", L"JRE", L"1.8", L""},
        {L"1.8..0", L"", L"", L"", L"1.8..0"}, // no version pattern: a validator word
        {L"JRE_J2", L"JRE_J2", L"", L"", L""},
        {L"jdk_j1", L"JDK_J1", L"", L"", L""},
        {L"J3", L"", L"", L"", L"J3"},
    };
    for (const auto& c : cases) {
        const ValidListToken t = parseValidListToken(c.token);
        EXPECT_EQ(t.keyword, c.keyword) << c.token;
        EXPECT_EQ(t.kind, c.kind) << c.token;
        EXPECT_EQ(t.version, c.version) << c.token;
        EXPECT_EQ(t.validator, c.validator) << c.token;
    }
}
