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

TEST(EnvironmentExport, ThreeLinesPerVariableWithEscapedExpandedValues) {
    EnvironmentTable table;
    table.set(L"Home\u00e9", L"%ROOT%\\user");
    table.set(L"ROOT", L"C:");
    const auto expand = [](const std::wstring& name) {
        return name == L"ROOT" ? std::wstring(L"C:") : std::wstring(L"C:\\user\u00e9");
    };
    const auto lines = environmentExportLines(table, expand);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"kiv.nl.env.home\\u00e9=C:\\\\user\\u00e9");
    EXPECT_EQ(lines[1], L"kiv.nl.env.HOME\\U00E9=C:\\\\user\\u00e9");
    EXPECT_EQ(lines[2], L"kiv.nl.env.exact_case.Home\\u00e9=C:\\\\user\\u00e9");
    EXPECT_EQ(lines[3], L"kiv.nl.env.root=C:");
    EXPECT_EQ(lines[4], L"kiv.nl.env.ROOT=C:");
    EXPECT_EQ(lines[5], L"kiv.nl.env.exact_case.ROOT=C:");
}
