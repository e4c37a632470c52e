#include <gtest/gtest.h>

#include "EnvironmentTable.h"

using namespace tarrow;

namespace {

std::wstring block(std::initializer_list<const wchar_t*> entries) {
    std::wstring text;
    for (const wchar_t* entry : entries) {
        text += entry;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

} // namespace

TEST(EnvironmentTable, DriveEntriesShareTheEmptyNameAndTheLastStays) {
    const std::wstring b = block({L"=C:=C:\\one", L"=D:=D:\\two", L"Path=C:\\bin", L"A=x=y"});
    const EnvironmentTable table = EnvironmentTable::fromBlock(b.c_str());
    EXPECT_EQ(table.raw(L""), std::optional<std::wstring>(L"D:=D:\\two"));
    EXPECT_EQ(table.raw(L"A"), std::optional<std::wstring>(L"x=y"));
    EXPECT_FALSE(table.raw(L"path").has_value());
    EXPECT_EQ(table.pathVariableName(), std::optional<std::wstring>(L"Path"));
}

TEST(EnvironmentTable, NoPathVariable) {
    const std::wstring b = block({L"PATHEXT=.EXE"});
    EXPECT_FALSE(EnvironmentTable::fromBlock(b.c_str()).pathVariableName().has_value());
}

TEST(EnvironmentExport, ThreeLinesPerVariableInNameOrderWithEscapedExpandedValues) {
    // Out of order, a name given twice, and a name that differs only in case.
    const std::wstring b =
        block({L"ROOT=C:", L"Home\u00e9=%ROOT%\\user", L"root=old", L"root=new", L"E="});
    std::vector<std::wstring> asked;
    const auto expand = [&asked](const std::wstring& value) {
        asked.push_back(value);
        return std::wstring(L"C:\\user\u00e9");
    };
    const std::string text = environmentExportText(EnvironmentTable::fromBlock(b.c_str()), expand);
    const std::vector<std::string> expected = {
        "kiv.nl.env.e=",
        "kiv.nl.env.E=",
        "kiv.nl.env.exact_case.E=",
        "kiv.nl.env.home\\u00e9=C:\\\\user\\u00e9",
        "kiv.nl.env.HOME\\U00E9=C:\\\\user\\u00e9",
        "kiv.nl.env.exact_case.Home\\u00e9=C:\\\\user\\u00e9",
        "kiv.nl.env.root=C:",
        "kiv.nl.env.ROOT=C:",
        "kiv.nl.env.exact_case.ROOT=C:",
        "kiv.nl.env.root=new",
        "kiv.nl.env.ROOT=new",
        "kiv.nl.env.exact_case.root=new",
    };
    std::string lines;
    for (const auto& line : expected)
        lines += line + "\r\n";
    EXPECT_EQ(text, lines);
    // Only the value with a reference is expanded, and it is passed as it stands.
    EXPECT_EQ(asked, std::vector<std::wstring>{L"%ROOT%\\user"});
}
