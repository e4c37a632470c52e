#include <gtest/gtest.h>

#include "Path.h"
#include "PathString.h"
#include "Tokenizer.h"

using namespace tarrow;

TEST(Tokenizer, RunsOfDelimitersSeparateLikeOne) {
    EXPECT_EQ(tokenize(L"  a  b   c ", L" "), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(tokenize(L"a;;b;", L";"), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(Tokenizer, OnlyALeadingDelimiterGivesAnEmptyToken) {
    EXPECT_EQ(tokenize(L";a;b", L";"), (std::vector<std::wstring>{L"", L"a", L"b"}));
    EXPECT_TRUE(tokenize(L"   ", L" ").empty());
}

TEST(PathList, TwoNamesWithDoubledSeparatorRenderWithOneSemicolonEach) {
    const Path path(L"C:\\a;;D:\\b");
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0], L"C:\\a");
    EXPECT_EQ(path[1], L"D:\\b");
    EXPECT_EQ(path.toString(), L"C:\\a;D:\\b;");
    EXPECT_EQ(Path(L"").toString(), L"");
}

TEST(PathList, SurroundingSpacesOfTheWholeValueAreDropped) {
    const Path path(L"  C:\\bin ; D:\\tools  ");
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0], L"C:\\bin ");
    EXPECT_EQ(path[1], L" D:\\tools");
}

TEST(PathString, UncPrefixStaysWhileInnerPairsAreReduced) {
    EXPECT_EQ(collapseSeparators(L"\\\\server\\\\share//dir/file"),
              L"\\\\server\\share\\\\dir\\file");
    EXPECT_EQ(collapseSeparators(L"C:\\\\\\a\\\\b"), L"C:\\a\\b");
    EXPECT_EQ(collapseSeparators(L"C:/x/y"), L"C:\\x\\y");
}

TEST(PathString, ExtensionIsLowerCasedAndIgnoresDotsInFolders) {
    EXPECT_EQ(extension(L"C:\\App\\TARROW.EXE"), L"exe");
    EXPECT_EQ(extension(L"C:\\my.app\\tarrow"), L"");
    EXPECT_FALSE(hasExtension(L"C:\\my.app\\tarrow"));
    EXPECT_TRUE(hasExtension(L"a.b"));
    EXPECT_FALSE(hasExtension(L".profile"));
}

TEST(PathString, PartsOfAPath) {
    EXPECT_EQ(fileName(L"C:\\A\\Java.EXE", true), L"java.exe");
    EXPECT_EQ(fileName(L"plain"), L"plain");
    EXPECT_EQ(parent(L"C:\\a\\b.kiv"), L"C:\\a");
    EXPECT_EQ(parent(L"b.kiv"), L".");
    // A drive alone would mean that drive's current directory, not its root.
    EXPECT_EQ(containingFolder(L"D:\\App.kiv"), L"D:\\");
    EXPECT_EQ(containingFolder(L"D:\\a\\App.kiv"), L"D:\\a");
    EXPECT_EQ(containingFolder(L"\\\\host\\share\\App.kiv"), L"\\\\host\\share");
    EXPECT_EQ(containingFolder(L"App.kiv"), L".");
    EXPECT_EQ(baseName(L"C:\\x.y\\Tarrow.exe"), L"Tarrow");
    EXPECT_TRUE(isAbsolute(L"\\share"));
    EXPECT_TRUE(isAbsolute(L"C:rel"));
    EXPECT_FALSE(isAbsolute(L"lib\\a.jar"));
}
