#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "FileSystem.h"
#include "InstalledVmSearch.h"
#include "JVM.h"
#include "Platform.h"
#include "DescribedVmSearch.h"
#include "TestFolder.h"
#include "TestTime.h"
#include "Validation.h"

using namespace tarrow;
using tarrow::test::TestFolder;

namespace {

const wchar_t kHintKey[] = L"SOFTWARE\\TarrowSpecTest";

// A folder with jvmspecs\runtime.spec (JVM_EXE bin\javaw.exe, a registry hint to the
// JavaHome value below, two properties), jvmspecs\Verify.jar and a runtime whose javaw.exe is
// the stand-in. The current directory is the folder while the test runs.
class SpecSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = currentDirectory();
        SetCurrentDirectoryW(folder.path().c_str());
        home = folder.makeFolder(L"Runtime 8");
        javaw = folder.copyStandin(L"standin_plain", L"Runtime 8\\bin\\javaw.exe");
        folder.write(L"jvmspecs\\Verify.jar", "PK");
        folder.write(L"jvmspecs\\runtime.spec",
                     "JVM_EXE: bin\\javaw.exe\r\nJVM_PROPERTIES\r\njava.version=1.8*\r\n"
                     "java.vendor=Oracle...\r\n/:\r\nPLATFORM_HINT:\r\n"
                     "\\HKEY_LOCAL_MACHINE\\SOFTWARE\\TarrowSpecTest\\JavaHome\r\n/:\r\n");
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHintKey, 0, nullptr, 0,
                        KEY_ALL_ACCESS | kOwnRegistryView, nullptr, &key, nullptr);
        RegSetValueExW(key, L"JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                       static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        specFile = L"runtime.spec";
        record = folder / L"record.txt";
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", record.c_str());
        options.workingDirectory = folder.path();
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", nullptr);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kHintKey, kOwnRegistryView, 0);
        SetCurrentDirectoryW(saved.c_str());
    }
    void probePrints(const std::string& text) {
        folder.write(L"Runtime 8\\bin\\verify-output.txt", text);
    }
    // The probe cases run with a limit that fits the machine (five seconds natively).
    std::unique_ptr<JVM> search(long long platform = 1) {
        return findDescribedVm({specFile}, platform, options, verifyTimeoutMs);
    }

    unsigned long verifyTimeoutMs = tarrow::test::scaledMilliseconds(5000);

    TestFolder folder;
    std::wstring saved, home, javaw, record;
    std::wstring specFile;
    JavaOptions options;
};

} // namespace

TEST_F(SpecSearch, RegistryHintFindsTheProgramOnceTheProbeMatches) {
    probePrints("Verify probe 1.0\r\nOracle Corporation\r\n1.8.0_151\r\n");
    std::unique_ptr<JVM> vm = search();
    ASSERT_TRUE(vm);
    EXPECT_EQ(vm->home, home);
    EXPECT_FALSE(vm->is64Bit);
    const std::string runs = tarrow::test::readFile(record);
    const std::wstring base = fullPath(folder / L"jvmspecs");
    EXPECT_NE(runs.find("commandline=\"" + std::string(javaw.begin(), javaw.end()) +
                        "\" -classpath \"" + std::string(base.begin(), base.end()) +
                        "\\Verify.jar\" Verify java.vendor java.version\n"),
              std::string::npos)
        << runs;
}

TEST_F(SpecSearch, MismatchingOrSilentProbeRejects) {
    probePrints("Verify probe 1.0\r\nOracle Corporation\r\n11.0.2\r\n");
    EXPECT_FALSE(search());
    probePrints("");
    EXPECT_FALSE(search());
    probePrints("just one line");
    EXPECT_FALSE(search());
}

TEST_F(SpecSearch, ChattyProbeIsReadWhole) {
    probePrints("banner\nOracle Corporation\n1.8.0_151\n" + std::string(100000, 'x') + "\n");
    // What is checked is the reading, not the limit: a loaded machine may take seconds.
    verifyTimeoutMs = tarrow::test::scaledMilliseconds(30000);
    EXPECT_TRUE(search());
}

TEST_F(SpecSearch, HangingProbeIsRejectedAtItsLimitAndEnded) {
    folder.write(L"Runtime 8\\bin\\verify-hang");
    verifyTimeoutMs = tarrow::test::scaledMilliseconds(1000);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(search());
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, verifyTimeoutMs - 20);
    EXPECT_LT(elapsed, verifyTimeoutMs + tarrow::test::scaledMilliseconds(4000));
    // The program file can be replaced only when no process runs it any more.
    EXPECT_TRUE(DeleteFileW(javaw.c_str()));
}

// A VM that answers correctly but slowly passes with a limit longer than its answer and fails
// with a shorter one.
TEST_F(SpecSearch, SlowProbeIsJudgedByTheLimitGiven) {
    probePrints("Verify probe 1.0\r\nOracle Corporation\r\n1.8.0_151\r\n");
    const DWORD delay = tarrow::test::scaledMilliseconds(1500);
    folder.write(L"Runtime 8\\bin\\verify-delay-ms.txt", std::to_string(delay));
    verifyTimeoutMs = delay / 3;
    EXPECT_FALSE(search());
    verifyTimeoutMs = delay * 4;
    EXPECT_TRUE(search());
}

TEST_F(SpecSearch, SixtyFourBitOnlyPlatformFindsNothingHere) {
    probePrints("b\nOracle Corporation\n1.8.0_151\n");
    EXPECT_FALSE(search(2));
    EXPECT_TRUE(search(0));
    EXPECT_TRUE(search(3));
    EXPECT_FALSE(search(5));
}

TEST_F(SpecSearch, MissingArchiveRejects) {
    probePrints("b\nOracle Corporation\n1.8.0_151\n");
    DeleteFileW((folder / L"jvmspecs\\Verify.jar").c_str());
    EXPECT_FALSE(search());
}

TEST_F(SpecSearch, RelativePathHintCountsFromTheReferenceLocation) {
    probePrints("b\n1.8.0_151\n");
    folder.write(L"jvmspecs\\runtime.spec",
                 "JVM_EXE: bin\\javaw.exe\r\nJVM_PROPERTIES\r\njava.version=1.8*\r\n/:\r\n"
                 "PATH_HINT:\r\n..\\Runtime 8\r\n/:\r\n");
    const std::wstring setup = folder / L"Setup\\disk1\\setup.exe";
    folder.write(L"sea_loc", std::string(setup.begin(), setup.end()) + "\r\n");
    options.workingDirectory = folder / L"work";
    EXPECT_FALSE(search()); // <folder>\Setup\Runtime 8 does not exist
    const std::wstring higher = folder / L"Setup\\setup.exe";
    folder.write(L"sea_loc", std::string(higher.begin(), higher.end()));
    std::unique_ptr<JVM> vm = search();
    ASSERT_TRUE(vm);
    EXPECT_EQ(vm->home, home);
}

TEST_F(SpecSearch, UnreadableSpecificationFileIsAnError) {
    specFile = L"missing.spec";
    EXPECT_THROW(search(), FileException);
}

TEST(Validator, CommandLineAndExitCode) {
    TestFolder folder;
    const std::wstring program = folder.copyStandin(L"standin_plain", L"jdk\\bin\\java.exe");
    const std::wstring record = folder / L"record.txt";
    SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", record.c_str());
    J2VM vm;
    vm.home = folder / L"jdk";
    vm.version = JVMVersion(11, 0, 2);
    vm.options.classPath = Path(L"C:\\app\\a.jar");
    vm.options.maxHeap = 1024;
    vm.options.launcherArguments = {L"x"};
    EXPECT_TRUE(runValidator(vm, L"CHECK"));
    folder.write(L"jdk\\bin\\validator-exit.txt", "1");
    EXPECT_FALSE(runValidator(vm, L"CHECK"));
    SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", nullptr);
    const std::string runs = tarrow::test::readFile(record);
    const std::string expected =
        "commandline=\"" + std::string(program.begin(), program.end()) +
        "\" --add-opens java.base/jdk.internal.loader=ALL-UNNAMED -classpath \"C:\\app\\a.jar;\" "
        "com.mirov.util.jvm.Validator 1 CHECK\n";
    EXPECT_NE(runs.find(expected), std::string::npos) << runs;
    DeleteFileW(program.c_str());
    EXPECT_FALSE(runValidator(vm, L"CHECK"));
}
