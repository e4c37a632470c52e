#include <windows.h>

#include <gtest/gtest.h>

#include "Console.h"
#include "Errors.h"
#include "StringTable.h"
#include "TestFolder.h"
#include "UniqueHandle.h"

using namespace tarrow;
using tarrow::test::TestFolder;

namespace {

// Runs `action` with standard error redirected to a new file; returns what was written.
template <typename Action> std::string captureStandardError(Action action) {
    TestFolder folder;
    const std::wstring file = folder / L"stderr.txt";
    std::string contents;
    {
        UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_ERROR_HANDLE, handle.get());
        action();
        SetStdHandle(STD_ERROR_HANDLE, saved);
    }
    return tarrow::test::readFile(file);
}

} // namespace

TEST(StringTable, EnglishTextsOfTheLauncher) {
    EXPECT_EQ(getString(kPropertiesMissing), L"The Pellinor properties file is missing");
    EXPECT_EQ(getString(kErrorPrefix), L"Pellinor Error");
    EXPECT_EQ(getString(kNoValidVm),
              L"Could not find a valid Java virtual machine to load.\n\nYou may need to reinstall "
              L"a supported Java virtual machine.");
}

TEST(StringTable, UnknownIdIsAnInvalidKey) {
    try {
        getString(static_cast<StringId>(4242));
        FAIL() << "no exception";
    } catch (const StringTableException& e) {
        EXPECT_EQ(e.message(), L"invalid key");
    }
}

TEST(StringTable, StartFailureMessageCarriesTheErrorNumber) {
    EXPECT_EQ(vmStartFailedMessage(267), L"Windows error 267 occured while loading the Java VM");
    EXPECT_EQ(vmStartFailedMessage(4294967295ul),
              L"Windows error -1 occured while loading the Java VM");
}

TEST(ErrorLineChannel, RedirectedStandardErrorGetsTheWholeLineAsUtf8) {
    const std::wstring message = std::wstring(600, L'a') + L" \u00fc end";
    const std::string written = captureStandardError([&] { console().printError(message); });
    EXPECT_EQ(written, "Pellinor Error: " + std::string(600, 'a') + " \xc3\xbc end\r\n");
}
