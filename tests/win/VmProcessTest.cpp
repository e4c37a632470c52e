#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "FileSystem.h"
#include "StringTable.h"
#include "TestFolder.h"
#include "VmProcess.h"

using namespace tarrow;
using tarrow::test::TestFolder;

namespace {

class VmProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        program = folder.copyStandin(L"standin_plain", L"bin\\java.exe");
        record = folder / L"record.txt";
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", record.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", nullptr);
        SetEnvironmentVariableW(L"KIV_STANDIN_EXIT", nullptr);
    }
    std::wstring errorOf(const std::wstring& directory, const std::wstring& line) {
        try {
            startProcess(directory, line, true);
        } catch (const TerminalError& e) {
            return e.message();
        }
        return L"(started)";
    }
    TestFolder folder;
    std::wstring program;
    std::wstring record;
};

} // namespace

TEST_F(VmProcess, ExitCodeIsCollectedWithAll32Bits) {
    for (const wchar_t* code : {L"3", L"300", L"3221225477"}) {
        SetEnvironmentVariableW(L"KIV_STANDIN_EXIT", code);
        UniqueHandle process = startProcess(folder.path(), L"\"" + program + L"\" x", false);
        EXPECT_EQ(waitForExitCode(process.get()), std::wcstoul(code, nullptr, 10));
    }
    // A handle that cannot be waited on gives no exit code, never a made-up 0.
    UniqueHandle process = startProcess(L"", L"\"" + program + L"\"", true);
    UniqueHandle queryOnly;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), process.get(), GetCurrentProcess(),
                                queryOnly.put(), PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0));
    EXPECT_FALSE(waitForExitCode(queryOnly.get()).has_value());
}

TEST_F(VmProcess, CommandLineTooLongToPassWholeIsNeverStarted) {
    const std::wstring start = L"\"" + program + L"\" ";
    EXPECT_EQ(errorOf(L"", start + std::wstring(kMaxCommandLineChars - start.size() + 1, L'x')),
              vmStartFailedMessage(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(tarrow::test::readFile(record), "");
    EXPECT_EQ(errorOf(L"", start + std::wstring(kMaxCommandLineChars - start.size(), L'x')),
              L"(started)");
}

TEST_F(VmProcess, WaitingStartReturnsAfterTheEnd) {
    UniqueHandle process = startProcess(L"", L"\"" + program + L"\"", true);
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
}

TEST_F(VmProcess, WorkingDirectoryIsMadeAbsoluteOrInherited) {
    const std::wstring saved = currentDirectory();
    SetCurrentDirectoryW(folder.path().c_str());
    startProcess(L"bin", L"\"" + program + L"\"", true);
    startProcess(L"", L"\"" + program + L"\"", true);
    SetCurrentDirectoryW(saved.c_str());
    const std::string text = tarrow::test::readFile(record);
    const size_t first = text.find("cwd=");
    ASSERT_NE(first, std::string::npos);
    const size_t second = text.find("cwd=", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(text.substr(first, text.find('\n', first) - first).find("\\bin"), std::string::npos);
    EXPECT_EQ(text.substr(second, text.find('\n', second) - second).find("\\bin"),
              std::string::npos);
}

TEST_F(VmProcess, StartFailuresNameTheSystemError) {
    EXPECT_EQ(errorOf(folder / L"missing", L"\"" + program + L"\""),
              L"Windows error 267 occured while loading the Java VM");
    EXPECT_EQ(errorOf(L"", L"\"" + (folder / L"none.exe") + L"\""),
              L"Windows error 2 occured while loading the Java VM");
}

TEST_F(VmProcess, TooLongWorkingDirectoryIsRefusedNotCut) {
    for (size_t length : {260u, 261u, 2048u, 2049u}) {
        const std::wstring directory = L"C:\\" + std::wstring(length - 3, L'd');
        EXPECT_EQ(errorOf(directory, L"\"" + program + L"\""),
                  L"Windows error 206 occured while loading the Java VM")
            << length;
    }
}
