#include <gtest/gtest.h>

#include "VmDescriptionFile.h"

using namespace tarrow;

TEST(VmDescription, KeywordsBlocksAndComments) {
    VmDescription spec;
    spec.parse("# a comment\r\n"
               "DESC: Runtime 8\r\n"
               "  JVM_EXE: bin\\javaw.exe  \r\n"
               "VERBOSE_GC: -verbose:gc\r\n"
               "JVM_PROPERTIES\r\n"
               "java.vendor=Sun*\r\n"
               "\"java.version = 1.8*\"\r\n"
               "java.vendor=Oracle...\r\n"
               "/:\r\n"
               "PLATFORM_HINT: ignored rest\r\n"
               "\\HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\JRE\\1.8\\JavaHome\r\n"
               "/:\r\n"
               "PATH_HINT:\r\n"
               "Java\\jre\r\n"
               "..\\jre\r\n");
    EXPECT_EQ(spec.field(L"DESC:"), L"Runtime 8");
    EXPECT_EQ(spec.jvmExe(), L"bin\\javaw.exe");
    EXPECT_EQ(spec.field(L"VERBOSE:"), L"");
    EXPECT_EQ(spec.jvmProperties(),
              (std::map<std::wstring, std::wstring>{{L"java.vendor", L"Oracle..."},
                                                    {L"java.version", L"1.8*"}}));
    EXPECT_EQ(spec.registryHints(),
              (std::vector<std::wstring>{
                  L"\\HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\JRE\\1.8\\JavaHome"}));
    EXPECT_EQ(spec.pathHints(), (std::vector<std::wstring>{L"Java\\jre", L"..\\jre"}));
}

TEST(VmDescription, FirstKeywordInTableOrderWinsAndParsingStartsAfresh) {
    VmDescription spec;
    spec.parse("CLASSPATH_SEPARATOR: ;\n");
    // "CLASSPATH:" is not part of "CLASSPATH_SEPARATOR:", so the separator field is set.
    EXPECT_EQ(spec.field(L"CLASSPATH_SEPARATOR:"), L";");
    EXPECT_EQ(spec.field(L"CLASSPATH:"), L"");
    spec.parse("VERBOSE_CLASS: -verbose:class\n");
    EXPECT_EQ(spec.field(L"CLASSPATH_SEPARATOR:"), L"");
    EXPECT_EQ(spec.field(L"VERBOSE:"), L"");
    EXPECT_EQ(spec.field(L"VERBOSE_CLASS:"), L"-verbose:class");
}

TEST(VmDescription, OpenBlockEndsWithTheFile) {
    VmDescription spec;
    spec.parse("JVM_PROPERTIES\nos.arch=x86");
    EXPECT_EQ(spec.jvmProperties().at(L"os.arch"), L"x86");
}

TEST(SpecHints, RegistryHintParts) {
    const RegistryHintParts parts =
        splitRegistryHint(L"\\HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B\\JavaHome");
    EXPECT_EQ(parts.keyPath, L"SOFTWARE\\A\\B");
    EXPECT_EQ(parts.valueName, L"JavaHome");
}

TEST(SpecHints, RelativeLocationsClimbFromTheReferenceLocation) {
    EXPECT_EQ(pathHintLevels(L"Java\\jre"), 0);
    EXPECT_EQ(pathHintLevels(L"..\\..\\jre"), 2);
    EXPECT_EQ(relativeHintFolder(L"C:\\Setup\\disk1\\setup.exe", L"..\\jre"), L"C:\\Setup\\jre");
    EXPECT_EQ(relativeHintFolder(L"C:\\Setup\\disk1\\setup.exe", L"..\\..\\jre"), L"C:\\jre");
    EXPECT_EQ(relativeHintFolder(L"setup.exe", L"..\\jre"), L"setup.exe");
}
