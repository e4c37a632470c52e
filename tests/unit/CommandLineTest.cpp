#include <gtest/gtest.h>

#include <set>

#include "CommandLine.h"

using namespace tarrow;

namespace {

std::optional<std::wstring> resolveNothing(const std::wstring&) {
    return std::nullopt;
}

using Args = std::vector<std::wstring>;

} // namespace

TEST(CommandLineRecord, QuotedProgramConsoleSwitchAndQuotedWords) {
    const CommandLine record = CommandLine::parse(
        L"\"C:\\Program Files\\App\\Tarrow.exe\" -i console \"two  words\" last", resolveNothing);
    EXPECT_EQ(record.arguments(), (Args{L"C:\\Program Files\\App\\Tarrow.exe", L"-i", L"console",
                                        L"two words", L"last"}));
    EXPECT_TRUE(record.consoleRequested());
    EXPECT_FALSE(record.serviceSwitch());
}

TEST(CommandLineRecord, QuotedArgumentWithAsteriskIsKeptAsItStands) {
    const CommandLine record = CommandLine::parse(L"prog \"*.txt and\" more\"", resolveNothing);
    EXPECT_EQ(record.arguments(), (Args{L"prog", L"\"*.txt", L"and\"", L"more\""}));
}

TEST(CommandLineRecord, UnclosedQuoteRunsToTheEnd) {
    const CommandLine record = CommandLine::parse(L"prog \"a b c", resolveNothing);
    EXPECT_EQ(record.arguments(), (Args{L"prog", L"a b c"}));
}

TEST(CommandLineRecord, ServiceSwitchTakesTheNameOutOfTheArguments) {
    const CommandLine record =
        CommandLine::parse(L"\"C:\\t.exe\" -mvkivservice MySvc extra", resolveNothing);
    EXPECT_TRUE(record.serviceSwitch());
    EXPECT_EQ(record.serviceName(), L"MySvc");
    EXPECT_EQ(record.arguments(), (Args{L"C:\\t.exe", L"extra"}));
}

TEST(CommandLineRecord, TrailingServiceSwitchIsDroppedAndMeansConsoleMode) {
    const CommandLine record = CommandLine::parse(L"t.exe a -mvkivservice", resolveNothing);
    EXPECT_FALSE(record.serviceSwitch());
    EXPECT_EQ(record.serviceName(), L"");
    EXPECT_EQ(record.arguments(), (Args{L"t.exe", L"a"}));
}

TEST(CommandLineRecord, ConsoleSwitchKeepsItsWordAndOnlyConsoleSetsTheFlag) {
    const CommandLine other = CommandLine::parse(L"t.exe -i window x", resolveNothing);
    EXPECT_EQ(other.arguments(), (Args{L"t.exe", L"-i", L"window", L"x"}));
    EXPECT_FALSE(other.consoleRequested());
    const CommandLine last = CommandLine::parse(L"t.exe -i", resolveNothing);
    EXPECT_EQ(last.arguments(), (Args{L"t.exe", L"-i"}));
}

TEST(CommandLineRecord, ExistingFilesBecomeFullPathsProgramIncluded) {
    std::set<std::wstring> asked;
    const auto resolve = [&](const std::wstring& arg) -> std::optional<std::wstring> {
        asked.insert(arg);
        if (arg == L"data.txt" || arg == L"t.exe")
            return L"C:\\work\\" + arg;
        return std::nullopt;
    };
    const CommandLine record = CommandLine::parse(L"t.exe data.txt missing.txt", resolve);
    EXPECT_EQ(record.arguments(),
              (Args{L"C:\\work\\t.exe", L"C:\\work\\data.txt", L"missing.txt"}));
    EXPECT_EQ(asked.size(), 3u);
}

TEST(CommandLineRecord, VmArgumentFollowsTheFirstExactSwitch) {
    EXPECT_EQ(
        CommandLine::parse(L"t KIV_VM C:\\j\\java.exe KIV_VM other", resolveNothing).vmArgument(),
        L"C:\\j\\java.exe");
    EXPECT_EQ(CommandLine::parse(L"t a KIV_VM", resolveNothing).vmArgument(), L"");
    EXPECT_EQ(CommandLine::parse(L"t kiv_vm C:\\x", resolveNothing).vmArgument(), L"");
    EXPECT_EQ(CommandLine::parse(L"t KIV_VM \"C:\\a b\\java.exe\"", resolveNothing).vmArgument(),
              L"C:\\a b\\java.exe");
}

TEST(SilentScan, LastArgumentDecides) {
    EXPECT_TRUE(silentFromArguments({L"t.exe", L"SILENT"}, false));
    EXPECT_FALSE(silentFromArguments({L"t.exe", L"silent", L"other"}, true));
    EXPECT_TRUE(silentFromArguments({L"t.exe", L"other", L"Silent"}, false));
}

TEST(SilentScan, WithoutArgumentsThePropertiesFileDecides) {
    EXPECT_TRUE(silentFromArguments({L"t.exe"}, true));
    EXPECT_FALSE(silentFromArguments({L"t.exe"}, false));
}

TEST(ShellSplit, FollowsTheShellsQuoteAndBackslashRules) {
    using Args = std::vector<std::wstring>;
    const struct {
        const wchar_t* line;
        Args arguments;
    } cases[] = {
        {L"", {}},
        {L"t.exe", {L"t.exe"}},
        {L"t.exe   ", {L"t.exe"}},
        {L"\"C:\\a b\\t.exe\" silent", {L"C:\\a b\\t.exe", L"silent"}},
        {L"C:\\a\\\"t.exe x", {L"C:\\a\\\"t.exe", L"x"}},
        {L"t \t a  \"b c\" d", {L"t", L"a", L"b c", L"d"}},
        {L"t a\\\\b \"c\\\\\" d", {L"t", L"a\\\\b", L"c\\", L"d"}},
        {L"t a\\\"b \\\\\\\"c", {L"t", L"a\"b", L"\\\"c"}},
        {L"t \"\" x", {L"t", L"", L"x"}},
        // A quote doubled inside a quoted part is a literal quote that also ends the part.
        {L"t \"a\"\"b\" x", {L"t", L"a\"b x"}},
        {L"t \"\"\"\" s\"il\"ent", {L"t", L"\" silent"}},
        {L"t \"\"\" s\"il\"ent", {L"t", L"\"", L"silent"}},
        {L"t \"open ended", {L"t", L"open ended"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitLikeShell(c.line), c.arguments) << c.line;
}

TEST(CommandLineRecord, ServiceCommandsOnlyAsTheFirstArgument) {
    const struct {
        const wchar_t* line;
        ServiceCommand command;
        const wchar_t* name;
        Args arguments;
    } cases[] = {
        {L"\"C:\\A B\\t.exe\" -mvkivinstall Svc a \"b c\"",
         ServiceCommand::Install,
         L"Svc",
         {L"C:\\A B\\t.exe", L"a", L"b c"}},
        {L"t.exe -mvkivuninstall Svc", ServiceCommand::Uninstall, L"Svc", {L"t.exe"}},
        {L"t.exe -mvkivinstall", ServiceCommand::Install, L"", {L"t.exe"}},
        {L"t.exe a -mvkivinstall Svc",
         ServiceCommand::None,
         L"",
         {L"t.exe", L"a", L"-mvkivinstall", L"Svc"}},
        {L"\"t.exe\" x -mvkivuninstall",
         ServiceCommand::None,
         L"",
         {L"t.exe", L"x", L"-mvkivuninstall"}},
    };
    for (const auto& c : cases) {
        const CommandLine record = CommandLine::parse(c.line, resolveNothing);
        EXPECT_EQ(record.serviceCommand(), c.command) << c.line;
        EXPECT_EQ(record.serviceName(), c.name) << c.line;
        EXPECT_EQ(record.arguments(), c.arguments) << c.line;
        EXPECT_FALSE(record.serviceSwitch()) << c.line;
    }
}
