#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeJni.h"
#include "JniLibraries.h"
#include "TestFolder.h"
#include "Text.h"

using namespace tarrow::test;

namespace {

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class Printing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(helper.loaded());
        pdf = folder.write(L"doc.pdf", "%PDF-1.4\n%test\n");
        notPdf = folder.write(L"doc.txt", "plain text");
        log = folder / L"xpdf.log";
        SetEnvironmentVariableW(L"XPDF_STANDIN_LOG", log.c_str());
        print = helper.native<Print>(std::string(kPrintHelper) + "print");
        printOverlay = helper.native<PrintOverlay>(std::string(kPrintHelper) + "printOverLayText");
        ASSERT_TRUE(print && printOverlay);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"XPDF_STANDIN_LOG", nullptr);
        SetEnvironmentVariableW(L"XPDF_STANDIN_PRINT_RESULTS", nullptr);
        EXPECT_EQ(jni.outstandingChars(), 0);
        EXPECT_EQ(jni.badReleases(), 0);
        EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    }
    std::vector<std::string> calls() { return tarrow::splitLines(readFile(log)); }

    NativeLibrary helper{L"Helper.dll"};
    FakeJni jni;
    TestFolder folder;
    std::wstring pdf, notPdf, log;
    Print print = nullptr;
    PrintOverlay printOverlay = nullptr;
};

} // namespace

TEST_F(Printing, ThreeCopiesAreThreeIdenticalPrintCallsAtIdlePriority) {
    SetEnvironmentVariableW(L"XPDF_STANDIN_PRINT_RESULTS", L"5,9,0");
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    const jint result =
        print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("Office PDF"), 3);
    EXPECT_EQ(result, 0);
    const auto made = calls();
    ASSERT_EQ(made.size(), 6u);
    const std::string idle = " priority=64 thread=-15";
    EXPECT_EQ(made[0], "load path=" + narrow(pdf) + " result=0" + idle);
    EXPECT_EQ(made[1], "overlay doc=" + made[1].substr(12, made[1].find(' ', 12) - 12) +
                           " text=Merrowind Printing font=Arial a4=0 a5=1 font2=Helvetica-Bold "
                           "a7=0 a8=10 x=250.0 y=25.0 a11=0 a12=0" +
                           idle);
    for (int copy = 0; copy < 3; ++copy) {
        const std::string& line = made[2 + copy];
        EXPECT_NE(line.find(" w2=196612 zeros=0 printer=Office PDF w22=0 w23=0 "),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find(idle), std::string::npos);
    }
    EXPECT_EQ(made[5].substr(0, 9), "free doc=");
}

TEST_F(Printing, LastCopyDecidesTheResult) {
    SetEnvironmentVariableW(L"XPDF_STANDIN_PRINT_RESULTS", L"0,0,7");
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"), 3), 7);
}

TEST_F(Printing, NoCopiesPrintsNothing) {
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"), 0), 0);
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"), -2), 0);
    for (const auto& line : calls())
        EXPECT_NE(line.substr(0, 5), "print");
}

TEST_F(Printing, FileThatDoesNotLoadReturnsItsCodeAndPrintsNothing) {
    SetEnvironmentVariableW(L"XPDF_STANDIN_LOAD_ERROR", L"12");
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(notPdf)), jni.string("P"), 2), 12);
    SetEnvironmentVariableW(L"XPDF_STANDIN_LOAD_ERROR", nullptr);
    const auto made = calls();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].substr(0, 5), "load ");
}

TEST_F(Printing, OverlayTextAndPositionFromTheCaller) {
    EXPECT_EQ(printOverlay(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("Lab"),
                           jni.string("COPY 1"), 1, 100, 700),
              0);
    const auto made = calls();
    ASSERT_EQ(made.size(), 4u);
    EXPECT_NE(made[1].find(" text=COPY 1 font=Arial a4=0 a5=0 font2=Helvetica a7=0 a8=6 "
                           "x=100.0 y=700.0 a11=0 a12=0 "),
              std::string::npos)
        << made[1];
    EXPECT_EQ(jni.gets(), 3);
}

TEST_F(Printing, FaultInThePdfLibraryBecomesAFailureResult) {
    SetEnvironmentVariableW(L"XPDF_STANDIN_CRASH", L"print");
    const jint result = print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"), 2);
    SetEnvironmentVariableW(L"XPDF_STANDIN_CRASH", nullptr);
    EXPECT_EQ(result, -1);
    // The library still works afterwards; the strings and the priority were given back (the
    // fixture's checks).
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"), 1), 0);
    SetEnvironmentVariableW(L"XPDF_STANDIN_CRASH", L"print");
    EXPECT_EQ(printOverlay(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P"),
                           jni.string("T"), 1, 1, 1),
              -1);
    SetEnvironmentVariableW(L"XPDF_STANDIN_CRASH", nullptr);
}

TEST_F(Printing, PathOrPrinterTheCodePageCannotHoldFailsWithoutPrinting) {
    // "Ж" (modified UTF-8 d0 96) has no counterpart in the ANSI code page: as "?" the path
    // could name another file.
    const std::string path = narrow(folder / L"doc") + "\xd0\x96.pdf";
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(path), jni.string("P"), 1), -1);
    EXPECT_EQ(print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("P\xd0\x96"), 1), -1);
    EXPECT_EQ(printOverlay(jni.env(), nullptr, jni.string(path), jni.string("P"), jni.string("T"),
                           1, 1, 1),
              -1);
    EXPECT_TRUE(calls().empty());
}

TEST_F(Printing, JavaTextReachesTheLibraryInTheAnsiCodePage) {
    // "é" as modified UTF-8 arrives as the single code-page byte 0xE9.
    print(jni.env(), nullptr, jni.string(narrow(pdf)), jni.string("Caf\xc3\xa9"), 1);
    const auto made = calls();
    ASSERT_GE(made.size(), 3u);
    EXPECT_NE(made[2].find("printer=Caf\xe9 "), std::string::npos);
}

TEST(Printers, ListAndDriverThroughTheSpooler) {
    NativeLibrary helper(L"Helper.dll");
    FakeJni jni;
    auto getPrinters = helper.native<GetPrinters>(std::string(kPrintHelper) + "getPrinters");
    auto getDriver =
        helper.native<GetPrinterDriver>(std::string(kPrintHelper) + "getPrinterDriver");
    ASSERT_TRUE(getPrinters && getDriver);
    jobjectArray printers = getPrinters(jni.env(), nullptr);
    ASSERT_NE(printers, nullptr);
    EXPECT_EQ(jni.lastClassLookedUp(), "java/lang/String");
    std::vector<std::string> names;
    for (jobject name : jni.elements(printers))
        names.push_back(jni.text(static_cast<jstring>(name)));
    // The test runner says which queue, if any, the spooler has.
    char expected[256] = {};
    GetEnvironmentVariableA("KIV_EXPECTED_PRINTER", expected, sizeof expected);
    if (expected[0] == '\0') {
        EXPECT_TRUE(names.empty());
    } else {
        ASSERT_EQ(names, std::vector<std::string>{expected});
        jstring driver = getDriver(jni.env(), nullptr, jni.string(expected));
        ASSERT_NE(driver, nullptr);
        EXPECT_FALSE(jni.text(driver).empty());
    }
    EXPECT_EQ(getDriver(jni.env(), nullptr, jni.string("No Such Printer")), nullptr);
    EXPECT_EQ(jni.outstandingChars(), 0);
}

TEST(DiskSpace, CapacityAndFreeSpaceWhole) {
    NativeLibrary helper(L"Helper.dll");
    FakeJni jni;
    auto total = helper.native<DiskSpace>(std::string(kPrintHelper) + "getDiskSpace");
    auto free = helper.native<DiskSpace>(std::string(kPrintHelper) + "getAvailableDiskSpace");
    ASSERT_TRUE(total && free);
    ULARGE_INTEGER available, capacity, freeBytes;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &capacity, &freeBytes));
    const jlong size = total(jni.env(), nullptr, jni.string("C:\\"));
    EXPECT_EQ(static_cast<unsigned long long>(size), capacity.QuadPart);
    EXPECT_GT(size, 4LL * 1024 * 1024 * 1024) << "the test disk is larger than 4 GiB";
    const jlong left = free(jni.env(), nullptr, jni.string("C:\\windows"));
    // The free space of the whole disk, not its size: other processes may write meanwhile, so
    // the two readings agree within a margin far below the disk's used space.
    const long long drift =
        static_cast<long long>(left) - static_cast<long long>(freeBytes.QuadPart);
    EXPECT_LE(std::llabs(drift), 256LL * 1024 * 1024) << left << " vs " << freeBytes.QuadPart;
    EXPECT_LT(static_cast<unsigned long long>(left), capacity.QuadPart);
    // A folder whose name the ANSI code page cannot hold is still found.
    TestFolder folder;
    folder.makeFolder(L"\u0416");
    EXPECT_EQ(static_cast<unsigned long long>(
                  total(jni.env(), nullptr, jni.string(tarrow::toUtf8(folder / L"\u0416")))),
              capacity.QuadPart);
    EXPECT_EQ(total(jni.env(), nullptr, jni.string("Q:\\")), 0);
    EXPECT_EQ(free(jni.env(), nullptr, jni.string("Q:\\")), 0);
    EXPECT_EQ(jni.outstandingChars(), 0);
}
