// The launcher's own splitting of its command line against the shell's CommandLineToArgvW.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "CommandLine.h"
#include "UniqueHandle.h"

using namespace tarrow;

TEST(ShellSplit, AgreesWithTheShell) {
    const wchar_t* lines[] = {
        L"t.exe",
        L"t.exe   ",
        L"\"C:\\a b\\t.exe\" silent",
        L"C:\\a\\\"t.exe x",
        L"t \t a  \"b c\" d",
        L"t a\\\\b \"c\\\\\" d",
        L"t a\\\"b \\\\\\\"c",
        L"t \"\" x",
        L"t \"a\"\"b\" \"\"\"\" s\"il\"ent",
        L"t \"open ended",
        L"t \"\"\"\"\"\" x\\\\\\\\\"y z\"",
        L"t a\"b\"\"c\"\"\"d\"\"\"\"e",
        L"\"t.exe\"x y",
        L"t \\\\\\ \\\"",
    };
    for (const wchar_t* line : lines) {
        int count = 0;
        const UniqueArgumentList argv(CommandLineToArgvW(line, &count));
        ASSERT_TRUE(argv) << GetLastError();
        EXPECT_EQ(splitLikeShell(line), std::vector<std::wstring>(argv.get(), argv.get() + count))
            << line;
    }
}
