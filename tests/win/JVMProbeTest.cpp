#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "JVM.h"
#include "JVMProbe.h"
#include "Platform.h"
#include "TestFolder.h"

using namespace tarrow;
using tarrow::test::TestFolder;

TEST(JVMProbe, HomeIsTheParentOfABinFolder) {
    EXPECT_EQ(JVMProbe(L"C:\\jdk\\bin\\java.exe").home(), L"C:\\jdk");
    EXPECT_EQ(JVMProbe(L"C:\\j2sdk\\jre\\bin\\java.exe").home(), L"C:\\j2sdk\\jre");
    EXPECT_EQ(JVMProbe(L"C:\\Windows\\system32\\java.exe").home(), L"C:\\Windows\\system32");
}

TEST(JVMProbe, KindFromTheProgramNameOrACompilerBesideIt) {
    TestFolder folder;
    const std::wstring jdk = folder.copyStandin(L"standin_plain", L"jdk\\bin\\java.exe");
    folder.write(L"jdk\\bin\\javac.exe");
    const std::wstring jre = folder.copyStandin(L"standin_plain", L"jre\\bin\\java.exe");
    EXPECT_EQ(JVMProbe(jdk).kind(), VMKind::JDK);
    EXPECT_EQ(JVMProbe(jre).kind(), VMKind::JRE);
    EXPECT_EQ(JVMProbe(L"C:\\x\\JRE.EXE").kind(), VMKind::JRE);
    EXPECT_EQ(JVMProbe(L"C:\\WINNT\\system32\\jview.exe").kind(), VMKind::MSJ);
}

TEST(JVMProbe, VendorAndVersionFromTheVersionResource) {
    TestFolder folder;
    JVMProbe sun(folder.copyStandin(L"standin_sun_1_8_0_151", L"sun\\bin\\java.exe"));
    EXPECT_EQ(sun.vendor(), L"Sun");
    EXPECT_EQ(sun.version(), JVMVersion(8, 0, 151));
    JVMProbe classic(folder.copyStandin(L"standin_sun_classic_1_4_2", L"old\\bin\\java.exe"));
    EXPECT_EQ(classic.version(), JVMVersion(4, 2, 6));
    JVMProbe ibm(folder.copyStandin(L"standin_ibm_1_6_0", L"ibm\\bin\\java.exe"));
    EXPECT_EQ(ibm.vendor(), L"IBM");
    EXPECT_EQ(ibm.version(), JVMVersion(6, 0, 0));
    JVMProbe jview(L"C:\\WINNT\\system32\\jview.exe");
    EXPECT_EQ(jview.vendor(), L"Microsoft");
    EXPECT_EQ(jview.version(), JVMVersion(1, 4, 0));
}

TEST(JVMProbe, FolderLayoutsGiveTheVersionWithoutAResource) {
    TestFolder folder;
    const std::wstring plain = L"standin_plain";
    JVMProbe none(folder.copyStandin(plain, L"none\\bin\\java.exe"));
    std::array<WORD, 4> words;
    EXPECT_FALSE(none.fileVersion(words));
    EXPECT_EQ(none.vendor(), L"Sun");
    EXPECT_EQ(none.version(), JVMVersion());

    folder.write(L"p5\\bin\\pack200.exe");
    folder.makeFolder(L"p5\\bin\\client");
    EXPECT_EQ(JVMProbe(folder.copyStandin(plain, L"p5\\bin\\java.exe")).version(),
              JVMVersion(5, 0, 0));

    folder.makeFolder(L"p4\\jre\\bin\\server");
    EXPECT_EQ(JVMProbe(folder.copyStandin(plain, L"p4\\bin\\java.exe")).version(),
              JVMVersion(4, 0, 0));

    folder.makeFolder(L"p3\\bin\\hotspot");
    EXPECT_EQ(JVMProbe(folder.copyStandin(plain, L"p3\\bin\\java.exe")).version(),
              JVMVersion(3, 0, 0));

    folder.makeFolder(L"p2\\bin\\classic");
    EXPECT_EQ(JVMProbe(folder.copyStandin(plain, L"p2\\bin\\java.exe")).version(),
              JVMVersion(2, 0, 0));

    folder.write(L"p1\\bin\\jre.exe");
    EXPECT_EQ(JVMProbe(folder.copyStandin(plain, L"p1\\bin\\java.exe")).version(),
              JVMVersion(1, 0, 0));
}

TEST(JVMProbe, PlugInLibraryRefinesALayoutVersion) {
    TestFolder folder;
    folder.makeFolder(L"jre\\bin\\client");
    folder.copyStandin(L"standin_sun_classic_1_4_2", L"jre\\bin\\NPJava32.dll");
    JVMProbe probe(folder.copyStandin(L"standin_plain", L"jre\\bin\\java.exe"));
    EXPECT_EQ(probe.kind(), VMKind::JRE);
    EXPECT_EQ(probe.version(), JVMVersion(4, 20, 0));
}

TEST(JVMProbe, SystemFolderVersionComesFromTheRegistry) {
    TestFolder folder;
    JVMProbe probe(folder.copyStandin(L"standin_plain", L"System32\\java.exe"));
    const wchar_t key[] = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    EXPECT_EQ(JVMProbe(folder / L"System32\\java.exe").version(), JVMVersion());

    HKEY runtime = nullptr, release = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0,
                              KEY_ALL_ACCESS | kOwnRegistryView, nullptr, &runtime, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(runtime, L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1.6"), 8);
    RegCreateKeyExW(runtime, L"1.6", 0, nullptr, 0, KEY_ALL_ACCESS | kOwnRegistryView, nullptr,
                    &release, nullptr);
    RegSetValueExW(release, L"MicroVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"2"), 4);
    RegCloseKey(release);
    RegCloseKey(runtime);
    EXPECT_EQ(probe.version(), JVMVersion(6, 2, 0));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.6",
                    kOwnRegistryView, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, kOwnRegistryView, 0);
}

TEST(JVMPrograms, ExecutablePathPerKindOfVm) {
    TestFolder folder;
    J2VM j2;
    j2.home = folder.makeFolder(L"jdk");
    EXPECT_EQ(j2.executablePath(), j2.home + L"\\java.exe");
    folder.copyStandin(L"standin_plain", L"jdk\\bin\\java.exe");
    EXPECT_EQ(j2.executablePath(), j2.home + L"\\bin\\java.exe");
    j2.home = folder.makeFolder(L"SysWOW64");
    folder.copyStandin(L"standin_plain", L"SysWOW64\\bin\\java.exe");
    EXPECT_EQ(j2.executablePath(), j2.home + L"\\java.exe");

    J1VM j1;
    j1.home = folder.makeFolder(L"old");
    EXPECT_EQ(j1.executablePath(), j1.home + L"\\bin\\java.exe");
    folder.write(L"old\\bin\\jre.exe");
    EXPECT_EQ(j1.executablePath(), j1.home + L"\\bin\\jre.exe");
    JavaOptions options;
    options.mainClass = L"M";
    EXPECT_NE(j1.commandLine(options).find(L"-cp \"" + j1.home + L"\\lib\\classes.zip;\" M"),
              std::wstring::npos);
}

TEST(JVMPrograms, MicrosoftVmBelowItsMinimumBuildIsRefused) {
    TestFolder folder;
    MSJVM ms;
    ms.home = folder.path();
    folder.copyStandin(L"standin_sun_1_8_0_151", L"jview.exe"); // build word 1510
    JavaOptions options;
    options.mainClass = L"M";
    options.msvmMinBuild = 1510;
    EXPECT_EQ(ms.commandLine(options).substr(0, ms.home.size() + 12),
              L"\"" + ms.home + L"\\jview.exe\"");
    options.msvmMinBuild = 1511;
    try {
        ms.commandLine(options);
        FAIL() << "no exception";
    } catch (const TerminalError& e) {
        EXPECT_EQ(e.message().substr(0, 52),
                  L"Could not find a valid Java virtual machine to load.");
    }
}

TEST(JVMPrograms, MicrosoftVmGetsItsClassPathInTheEnvironmentToo) {
    TestFolder folder;
    MSJVM ms;
    ms.home = folder.path();
    folder.copyStandin(L"standin_plain", L"jview.exe");
    const std::wstring record = folder / L"record.txt";
    SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", record.c_str());
    JavaOptions options;
    options.mainClass = L"M";
    options.workingDirectory = folder.path();
    options.classPath = Path(L"C:\\a.jar;C:\\b.jar");
    UniqueHandle process = ms.launch(options, true);
    SetEnvironmentVariableW(L"KIV_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableW(L"CLASSPATH", nullptr);
    const std::string text = tarrow::test::readFile(record);
    EXPECT_NE(text.find("env=CLASSPATH=C:\\a.jar;C:\\b.jar;\n"), std::string::npos);
    EXPECT_NE(text.find("\\jview.exe\" /cp \"C:\\a.jar;C:\\b.jar;\" M "), std::string::npos);
}
