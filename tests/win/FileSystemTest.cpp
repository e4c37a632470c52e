#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "FileSystem.h"
#include "PropertiesFile.h"
#include "TestFolder.h"

using namespace tarrow;
using tarrow::test::TestFolder;

TEST(FileSystem, TestsOnFilesAndFolders) {
    TestFolder folder;
    const std::wstring file = folder.write(L"a.txt", "12345");
    EXPECT_TRUE(exists(file));
    EXPECT_FALSE(isDirectory(file));
    EXPECT_TRUE(isDirectory(folder.path()));
    EXPECT_FALSE(exists(folder / L"missing"));
    EXPECT_TRUE(isNonEmptyFile(file));
    for (const std::wstring& other :
         {folder.write(L"empty.txt"), folder.path(), folder / L"missing"})
        EXPECT_FALSE(isNonEmptyFile(other)) << other;
}

TEST(FileSystem, ShortNamesAreReplacedByLongOnes) {
    TestFolder folder;
    const std::wstring longFolder = folder.makeFolder(L"Long Folder Name For Test");
    wchar_t shortName[MAX_PATH];
    const DWORD length = GetShortPathNameW(longFolder.c_str(), shortName, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_NE(std::wstring(shortName).find(L'~'), std::wstring::npos);
    EXPECT_EQ(normalise(shortName), longFolder);
    EXPECT_EQ(fullPath(shortName, {false, true}), longFolder);
}

TEST(FileSystem, FullPathOptions) {
    EXPECT_EQ(fullPath(L"/unix/style", {true, false}), L"/unix/style");
    EXPECT_EQ(fullPath(L"C:\\a\\..\\b\\.\\c"), L"C:\\b\\c");
}

TEST(FileSystem, PathsAtAndBeyondTheBufferNeverOverflow) {
    for (size_t length : {259u, 260u, 261u, 2048u, 2049u}) {
        const std::wstring path = L"C:\\" + std::wstring(length - 3, L'p');
        const std::wstring full = fullPath(path);
        EXPECT_TRUE(full == path || full.size() < MAX_PATH) << length;
        EXPECT_EQ(normalise(path + L"~"), path + L"~") << length;
        EXPECT_FALSE(exists(path)) << length;
    }
}

TEST(FileSystem, OpenFailuresAreFileExceptionsWithThePath) {
    TestFolder folder;
    const std::wstring missing = folder / L"missing.kiv";
    try {
        openForRead(missing);
        FAIL() << "no exception";
    } catch (const FileException& e) {
        EXPECT_EQ(e.message(), L"windows could not open the file specified");
        EXPECT_EQ(e.path(), missing);
    }
    EXPECT_THROW(appendToFile(folder / L"no\\such\\folder\\x", "x"), FileException);
}

TEST(FileSystem, AppendCreatesAndAppends) {
    TestFolder folder;
    const std::wstring file = folder / L"out.txt";
    for (const char* text : {"one\r\n", "two\n"})
        appendToFile(file, text);
    EXPECT_EQ(tarrow::test::readFile(file), "one\r\ntwo\n"); // bytes as given, at the end
}

TEST(PropertiesFile, ReadThroughTheTextStream) {
    TestFolder folder;
    const std::wstring file = folder.write(L"x.kiv", "a = 1\r\n# c=2\r\nb=\\u0041\\\r\n");
    PropertySet p;
    readProperties(file, p);
    EXPECT_EQ(p.get(L"a"), L"1");
    EXPECT_EQ(p.get(L"b"), L"A ");
    EXPECT_EQ(p.entries().size(), 2u);
}

TEST(PropertiesFile, VmSpecificationPathOnlyForExePrograms) {
    EXPECT_EQ(vmSpecPropertiesPath(L"C:\\App\\Tarrow.EXE"),
              L"C:\\App\\jvmspecs\\jvmspecs.properties");
    EXPECT_EQ(vmSpecPropertiesPath(L"C:/App/Tarrow.exe"),
              L"C:\\App\\jvmspecs\\jvmspecs.properties");
    EXPECT_EQ(vmSpecPropertiesPath(L"C:\\App\\Tarrow"), L"");
}

// A current directory longer than a classic path is used whole: the properties file in it is
// found, never one at the root of the drive.
TEST(PropertiesFile, FoundInACurrentDirectoryLongerThanAClassicPath) {
    TestFolder folder;
    std::wstring deep = folder.path();
    while (deep.size() < 300)
        deep += L"\\a fairly long folder name";
    std::wstring relative = deep.substr(folder.path().size() + 1);
    folder.makeFolder(relative);
    folder.write(relative + L"\\Deep.kiv", "x=1\r\n");
    const std::wstring saved = currentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryW(deep.c_str()));
    const std::wstring current = currentDirectory();
    const std::wstring found = locatePropertiesFile(L"C:\\nowhere\\Deep.exe");
    SetCurrentDirectoryW(saved.c_str());
    EXPECT_EQ(current, deep);
    EXPECT_EQ(found, deep + L"\\Deep.kiv");
}
