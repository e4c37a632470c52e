#include <windows.h>

#include <gtest/gtest.h>

#include "Environment.h"
#include "PropertiesSyntax.h"
#include "TestFolder.h"

using namespace tarrow;
using tarrow::test::TestFolder;

TEST(Environment, VariablesAreExpandedAndMatchedByExactName) {
    EXPECT_EQ(getVariable(L"KIV_TEST_REF"), L"C:\\Base\\sub");
    EXPECT_EQ(getVariable(L"kiv_test_ref"), L"");
    EXPECT_EQ(getVariable(L"KIV_TEST_MISSING"), L"");
}

TEST(Environment, ValuesLongerThanTheExpansionBufferComeBackWhole) {
    EXPECT_EQ(getVariable(L"KIV_TEST_LONG_REF"), std::wstring(3000, L'x') + L"!");
}

TEST(Environment, TableIsASnapshot) {
    SetEnvironmentVariableW(L"KIV_TEST_LATE", L"late");
    EXPECT_EQ(getVariable(L"KIV_TEST_LATE"), L"");
}

TEST(Environment, SearchPathComesFromThePathVariable) {
    const Path path = searchPath();
    ASSERT_FALSE(path.empty());
    bool hasSystem = false;
    for (const auto& entry : path)
        hasSystem = hasSystem || _wcsicmp(entry.c_str(), L"C:\\windows\\system32") == 0;
    EXPECT_TRUE(hasSystem);
}

TEST(Environment, ExportGivesThreeLinesPerVariableInTableOrder) {
    const std::string text = exportedEnvironment() + exportedEnvironment();
    const std::string expected = "kiv.nl.env.kiv_test_ref=C:\\\\Base\\\\sub\r\n"
                                 "kiv.nl.env.KIV_TEST_REF=C:\\\\Base\\\\sub\r\n"
                                 "kiv.nl.env.exact_case.KIV_TEST_REF=C:\\\\Base\\\\sub\r\n";
    const size_t first = text.find(expected);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find(expected, first + 1), std::string::npos);
    EXPECT_NE(text.find("kiv.nl.env.exact_case.KIV_TEST_UNICODE=J\\u00fcrgen \\u4e2d\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("kiv.nl.env.KIV_TEST_UNICODE=J\\u00fcrgen \\u4e2d\r\n"), std::string::npos);
    EXPECT_LT(text.find("KIV_TEST_BASE="), text.find("KIV_TEST_REF="));
}
