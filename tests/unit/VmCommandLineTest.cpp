#include <gtest/gtest.h>

#include "VmCommandLine.h"

using namespace tarrow;

namespace {

JavaOptions sampleOptions() {
    JavaOptions o;
    o.mainClass = L"com.example.Main";
    o.classPath = Path(L"C:\\App\\lib\\a.jar;C:\\App\\lib\\b.jar");
    o.launcherArguments = {L"C:\\x\\y.kiv", L"C:\\Temp\\kiv1.tmp"};
    o.appArguments = {L"C:\\a b\\c", L"plain"};
    return o;
}

} // namespace

TEST(ArgumentTail, LauncherArgumentsWithSlashesThenApplicationArguments) {
    EXPECT_EQ(argumentString(sampleOptions()),
              L"\"C:/x/y.kiv\" \"C:/Temp/kiv1.tmp\" \"C:\\\\a b\\\\c\" plain");
    JavaOptions none;
    none.launcherArguments = {L"a"};
    EXPECT_EQ(argumentString(none), L"\"a\" ");
}

TEST(J2VMLine, AllOptionsInOrder) {
    JavaOptions o = sampleOptions();
    o.initialHeap = 64 * 1024 * 1024;
    o.maxHeap = 4294967296LL;
    o.verbose = true;
    o.verbosityDetail = L"gc";
    o.debug = o.noAsyncGC = o.noCompiler = true;
    o.gcExtent = L"anything";
    o.additionalOptions = L"-Dx=1";
    EXPECT_EQ(j2vmCommandLine(L"C:\\j\\bin\\java.exe", JVMVersion(8, 0, 161), o),
              L"\"C:\\j\\bin\\java.exe\" -Xms67108864 -Xmx4294967296 -verbose:gc -Xdebug "
              L"-Xnoasyncgc -Djava.compiler=off -Xnoclassgc -Dx=1 -classpath "
              L"\"C:\\App\\lib\\a.jar;C:\\App\\lib\\b.jar;\" com.example.Main \"C:/x/y.kiv\" "
              L"\"C:/Temp/kiv1.tmp\" \"C:\\\\a b\\\\c\" plain");
}

TEST(J2VMLine, ModuleOpeningFromVersionNine) {
    const JavaOptions o = sampleOptions();
    EXPECT_NE(j2vmCommandLine(L"j", JVMVersion(9, 0, 0), o).find(L" --add-opens "),
              std::wstring::npos);
    EXPECT_EQ(j2vmCommandLine(L"j", JVMVersion(8, 0, 161), o).find(L"--add-opens"),
              std::wstring::npos);
}

TEST(J2VMLine, ServiceOptionsKeepTheirLeadingSpace) {
    JavaOptions o = sampleOptions();
    o.additionalOptions = L" -Xrs";
    EXPECT_NE(j2vmCommandLine(L"j", JVMVersion(), o).find(L"\"j\"  -Xrs -classpath"),
              std::wstring::npos);
}

TEST(J1VMLine, ShortSwitchForJreAndNoVerbosityDetail) {
    JavaOptions o = sampleOptions();
    o.verbose = true;
    o.verbosityDetail = L"gc";
    o.maxHeap = 256 * 1024 * 1024;
    o.noCompiler = true;
    EXPECT_EQ(j1vmCommandLine(L"C:\\jre\\bin\\JRE.EXE", o),
              L"\"C:\\jre\\bin\\JRE.EXE\" -mx268435456 -verbose -nojit -cp "
              L"\"C:\\App\\lib\\a.jar;C:\\App\\lib\\b.jar;\" com.example.Main \"C:/x/y.kiv\" "
              L"\"C:/Temp/kiv1.tmp\" \"C:\\\\a b\\\\c\" plain");
    EXPECT_NE(j1vmCommandLine(L"C:\\jdk\\bin\\java.exe", o).find(L" -classpath \""),
              std::wstring::npos);
}

TEST(MSJVMLine, ClassPathSwitchAndNoOtherOptions) {
    JavaOptions o = sampleOptions();
    o.maxHeap = 1024;
    o.debug = true;
    EXPECT_EQ(
        msjvmCommandLine(L"C:\\WINNT\\system32\\jview.exe", o),
        L"\"C:\\WINNT\\system32\\jview.exe\" /cp \"C:\\App\\lib\\a.jar;C:\\App\\lib\\b.jar;\" "
        L"com.example.Main \"C:/x/y.kiv\" \"C:/Temp/kiv1.tmp\" \"C:\\\\a b\\\\c\" plain");
}

// Inside double quotes an argument file takes "\" as an escape: every backslash and quote is
// escaped, "#" and blanks are kept as they are (a real JVM reads this back in the end-to-end
// tests), and the class path switch comes first.
TEST(ArgumentFile, QuotedClassPathWithEscapes) {
    const struct {
        const wchar_t* classPath;
        const wchar_t* text;
    } cases[] = {
        {L"C:\\a b\\x.jar;", L"-classpath \"C:\\\\a b\\\\x.jar;\"\r\n"},
        {L"C:\\say \"hi\".jar;", L"-classpath \"C:\\\\say \\\"hi\\\".jar;\"\r\n"},
        {L"C:\\#1 @2.jar;", L"-classpath \"C:\\\\#1 @2.jar;\"\r\n"},
        {L"C:\\classes\\", L"-classpath \"C:\\\\classes\\\\\"\r\n"},
        {L"\\\\server\\share\\a.jar;", L"-classpath \"\\\\\\\\server\\\\share\\\\a.jar;\"\r\n"},
        {L"", L"-classpath \"\"\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(javaArgumentFileText(c.classPath), c.text) << c.classPath;
}

TEST(HeapShares, ResolvedPerVmAndWrittenInMegabytes) {
    constexpr std::int64_t MB = 1024 * 1024;
    constexpr std::uint64_t memory = 16384ull * MB;
    const struct {
        std::int64_t initial;
        int initialShare;
        std::int64_t max;
        int maxShare;
        bool vm32;
        const wchar_t* expected; // the heap options of the J2VM line
    } cases[] = {
        {0, 0, 0, 50, false, L" -Xmx8192m"},
        {0, 0, 0, 50, true, L" -Xmx1024m"},
        {0, 25, 0, 50, false, L" -Xms4096m -Xmx8192m"},
        {0, 75, 0, 50, false, L" -Xms8192m -Xmx8192m"},            // initial above the maximum
        {2048 * MB, 0, 0, 50, true, L" -Xms1024m -Xmx1024m"},      // fixed initial above the share
        {0, 50, 64 * MB, 0, false, L" -Xms67108864 -Xmx67108864"}, // share above a fixed maximum
        {0, 10, 0, 0, false, L" -Xms1638m"},                       // no maximum to keep to
        {512 * MB, 0, 256 * MB, 0, false, L" -Xms536870912 -Xmx268435456"}, // no share: as given
    };
    for (const auto& c : cases) {
        JavaOptions o = sampleOptions();
        o.initialHeap = c.initial;
        o.initialHeapShare = c.initialShare;
        o.maxHeap = c.max;
        o.maxHeapShare = c.maxShare;
        resolveHeapShares(o, memory, c.vm32);
        const std::wstring line = j2vmCommandLine(L"j", JVMVersion(8, 0, 0), o);
        EXPECT_EQ(line.substr(3, line.find(L" -classpath") - 3), c.expected) << c.expected;
    }
    JavaOptions old = sampleOptions();
    old.maxHeapShare = 50;
    resolveHeapShares(old, memory, true);
    EXPECT_NE(j1vmCommandLine(L"jre.exe", old).find(L" -mx1024m "), std::wstring::npos);
}
