#include <gtest/gtest.h>

#include "CandidateOrder.h"
#include "ImageArchitecture.h"
#include "ValidListToken.h"
#include "VerifyOutput.h"

using namespace tarrow;

TEST(ValidListToken, KeywordsAreRecognisedInAnyCase) {
    EXPECT_EQ(parseValidListToken(L"jre_j2").keyword, L"JRE_J2");
    EXPECT_EQ(parseValidListToken(L"All").keyword, L"ALL");
}

TEST(ValidListToken, CompoundTokensFillTheirSlots) {
    const ValidListToken t = parseValidListToken(L"jre_1.8.0_45_checker");
    EXPECT_EQ(t.keyword, L"");
    EXPECT_EQ(t.kind, L"JRE");
    EXPECT_EQ(t.version, L"1.8.0_45");
    EXPECT_EQ(t.validator, L"CHECKER");
    const ValidListToken later = parseValidListToken(L"JDK_one_JRE_two");
    EXPECT_EQ(later.kind, L"JRE");
    EXPECT_EQ(later.validator, L"TWO");
}

TEST(ValidListToken, KeywordTests) {
    const JVMVersion v8(8, 0, 151), v1(1, 1, 8);
    EXPECT_TRUE(keywordAccepts(L"J1", VMKind::JRE, v1));
    EXPECT_FALSE(keywordAccepts(L"J1", VMKind::MSJ, v1));
    EXPECT_TRUE(keywordAccepts(L"J2", VMKind::JDK, v8));
    EXPECT_FALSE(keywordAccepts(L"J2", VMKind::JDK, v1));
    EXPECT_TRUE(keywordAccepts(L"JDK_J2", VMKind::JDK, v8));
    EXPECT_FALSE(keywordAccepts(L"JRE_J2", VMKind::JDK, v8));
    EXPECT_TRUE(keywordAccepts(L"MSJ", VMKind::MSJ, JVMVersion(1, 4, 0)));
    EXPECT_FALSE(keywordAccepts(L"JRE", VMKind::MSJ, JVMVersion(1, 4, 0)));
}

TEST(ValidListToken, CompoundKindAndVersionTests) {
    const auto accepts = [](const wchar_t* token, VMKind kind, JVMVersion v) {
        return tokenAcceptsKindAndVersion(parseValidListToken(token), kind, v);
    };
    EXPECT_TRUE(accepts(L"JRE_1.8+", VMKind::JRE, JVMVersion(11, 0, 2)));
    EXPECT_FALSE(accepts(L"JRE_1.8+", VMKind::JDK, JVMVersion(11, 0, 2)));
    EXPECT_FALSE(accepts(L"JRE_1.8+", VMKind::JRE, JVMVersion(7, 0, 80)));
    EXPECT_TRUE(accepts(L"1.6*", VMKind::JDK, JVMVersion(6, 3, 0)));
    EXPECT_TRUE(accepts(L"1.8.0_45", VMKind::JRE, JVMVersion(8, 0, 45)));
    EXPECT_FALSE(accepts(L"1.8.0_45", VMKind::JRE, JVMVersion(8, 0, 46)));
    EXPECT_TRUE(accepts(L"ALL_1.7", VMKind::MSJ, JVMVersion(7, 0, 3)));
}

TEST(ImageArchitecture, MachineFieldsAndTheirBitness) {
    const struct {
        std::uint16_t machine;
        ImageArchitecture architecture;
        bool known, is64Bit;
    } cases[] = {
        {0x14C, ImageArchitecture::X86, true, false},
        {0x8664, ImageArchitecture::X64, true, true},
        {0xAA64, ImageArchitecture::Arm64, true, true}, // ARM64 and ARM64X
        {0xA641, ImageArchitecture::Arm64, true, true}, // ARM64EC
        {0x1C4, ImageArchitecture::OtherMachine, false, false},
        {0x0, ImageArchitecture::OtherMachine, false, false},
    };
    for (const auto& c : cases) {
        const ImageArchitecture read = machineArchitecture(c.machine);
        EXPECT_EQ(read, c.architecture) << c.machine;
        EXPECT_EQ(isKnownArchitecture(read), c.known) << c.machine;
        EXPECT_EQ(is64BitArchitecture(read), c.is64Bit) << c.machine;
    }
    // What cannot be read is never known, nor 64-bit.
    for (auto unknown : {ImageArchitecture::NoImage, ImageArchitecture::Unopened}) {
        EXPECT_FALSE(isKnownArchitecture(unknown));
        EXPECT_FALSE(is64BitArchitecture(unknown));
        EXPECT_EQ(std::wstring(architectureName(unknown)).rfind(L"architecture unknown: ", 0), 0u);
    }
}

TEST(CandidateOrder, PlatformValues) {
    EXPECT_TRUE(platformAccepts(0, true));
    EXPECT_TRUE(platformAccepts(1, false));
    EXPECT_FALSE(platformAccepts(2, false));
    EXPECT_FALSE(platformAccepts(3, true));
    EXPECT_TRUE(platformAccepts(7, true));
}

TEST(CandidateOrder, PreferredBitnessSortsLastThenHighestVersion) {
    const JVMVersion v7(7, 0, 80), v8(8, 0, 151);
    EXPECT_TRUE(candidateBefore(false, v7, false, v8, 1));
    EXPECT_FALSE(candidateBefore(false, v8, false, v7, 1));
    // 32-bit preferred: a 64-bit VM comes first whatever its version.
    EXPECT_TRUE(candidateBefore(true, v8, false, v7, 1));
    EXPECT_TRUE(candidateBefore(true, v8, false, v7, 3));
    // Otherwise 64-bit is preferred.
    EXPECT_TRUE(candidateBefore(false, v8, true, v7, 0));
    EXPECT_TRUE(candidateBefore(false, v8, true, v7, 9));
}

TEST(VerifyOutput, PatternForms) {
    EXPECT_TRUE(matchesPropertyPattern(L"anything", L"*"));
    EXPECT_TRUE(matchesPropertyPattern(L"1.8.0_151", L"1.8*"));
    EXPECT_FALSE(matchesPropertyPattern(L"11.0.2", L"1.8*"));
    EXPECT_TRUE(matchesPropertyPattern(L"Oracle Corporation", L"Oracle..."));
    EXPECT_FALSE(matchesPropertyPattern(L"oracle Corporation", L"Oracle..."));
    EXPECT_TRUE(matchesPropertyPattern(L"x", L"x"));
    EXPECT_FALSE(matchesPropertyPattern(L"x ", L"x"));
    EXPECT_TRUE(matchesPropertyPattern(L"1.8", L"1.*8*"));
}

TEST(VerifyOutput, BannerThenOneLinePerPropertyInNameOrder) {
    const std::map<std::wstring, std::wstring> properties = {{L"java.version", L"1.8*"},
                                                             {L"java.vendor", L"Oracle..."}};
    EXPECT_TRUE(
        verifyOutputMatches(L"Verify 1.0\r\nOracle Corporation\r\n1.8.0_151\r\n", properties));
    EXPECT_FALSE(verifyOutputMatches(L"Verify 1.0\n1.8.0_151\nOracle Corporation\n", properties));
    EXPECT_FALSE(verifyOutputMatches(L"", properties));
    EXPECT_FALSE(verifyOutputMatches(L"only a banner", properties));
    // Lines after the expected ones are ignored.
    EXPECT_TRUE(verifyOutputMatches(L"b\nOracle Corp.\n1.8.0\nextra\n", properties));
    EXPECT_FALSE(verifyOutputMatches(L"banner\nOracle Corporation\n", properties));
}

// Exact patterns match the same whatever ends the lines: CR LF, LF, or nothing at the end.
TEST(VerifyOutput, LineEndsDoNotChangeTheValues) {
    const std::map<std::wstring, std::wstring> exact = {{L"java.vendor", L"Oracle Corporation"},
                                                        {L"java.version", L"1.8.0_151"}};
    for (const wchar_t* output :
         {L"banner\r\nOracle Corporation\r\n1.8.0_151\r\n",
          L"banner\nOracle Corporation\n1.8.0_151\n", L"banner\r\nOracle Corporation\r\n1.8.0_151",
          L"banner\nOracle Corporation\r\n1.8.0_151"})
        EXPECT_TRUE(verifyOutputMatches(output, exact)) << output;
    EXPECT_FALSE(verifyOutputMatches(L"banner\r\nOracle Corporation \r\n1.8.0_151", exact));
}
