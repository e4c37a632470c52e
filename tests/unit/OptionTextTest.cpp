#include <gtest/gtest.h>

#include "OptionText.h"

using namespace tarrow;

TEST(OptionText, FlagsAreTrueOnAndT) {
    EXPECT_TRUE(optionFlag(L"On"));
    EXPECT_TRUE(optionFlag(L"T"));
    EXPECT_TRUE(optionFlag(L"TRUE"));
    EXPECT_FALSE(optionFlag(L"yes"));
    EXPECT_FALSE(optionFlag(L""));
}

TEST(OptionText, SizesInBytes) {
    EXPECT_EQ(readSize(L"64m"), 67108864);
    EXPECT_EQ(readSize(L"256M"), 268435456);
    EXPECT_EQ(readSize(L"512k"), 524288);
    EXPECT_EQ(readSize(L"100000"), 100000);
    EXPECT_EQ(readSize(L""), 0);
    EXPECT_EQ(readSize(L"abc"), 0);
    EXPECT_EQ(readSize(L"  12x"), 12);
}

TEST(OptionText, LargeHeapsFitAndGigabytesAreUnderstood) {
    EXPECT_EQ(readSize(L"2048m"), 2147483648LL);
    EXPECT_EQ(readSize(L"4g"), 4294967296LL);
    EXPECT_EQ(readSize(L"1G"), 1073741824LL);
    EXPECT_GT(readSize(L"99999999999999999999999m"), 0);
    EXPECT_LT(readSize(L"-5m"), 0);
}

TEST(OptionText, IntegersAreLimitedTo32Bits) {
    EXPECT_EQ(readInteger(L"3167"), 3167);
    EXPECT_EQ(readInteger(L"99999999999"), 2147483647);
    EXPECT_EQ(readInteger(L"x"), 0);
}

TEST(OptionText, Verbosity) {
    EXPECT_FALSE(readVerbosity(L"").verbose);
    EXPECT_TRUE(readVerbosity(L"ALL").verbose);
    const Verbosity gc = readVerbosity(L"GC");
    EXPECT_TRUE(gc.verbose);
    EXPECT_EQ(gc.detail, L"gc");
    const Verbosity none = readVerbosity(L"none");
    EXPECT_FALSE(none.verbose);
    EXPECT_TRUE(none.warning.empty());
    const Verbosity loud = readVerbosity(L"Loud");
    EXPECT_FALSE(loud.verbose);
    EXPECT_EQ(loud.warning, L"invalid verbosity selection 'loud', disabling verbosity.\n");
}

TEST(OptionText, HeapSharesAreWholePercentsFromOneToAHundred) {
    const struct {
        const wchar_t* text;
        int share;
    } cases[] = {
        {L"50%", 50}, {L"1%", 1},  {L"100%", 100}, {L"050%", 50}, {L"0%", 0}, {L"101%", 0},
        {L"%", 0},    {L"-5%", 0}, {L"5.5%", 0},   {L" 5%", 0},   {L"50", 0}, {L"1000%", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readHeapShare(c.text), c.share) << c.text;
    EXPECT_EQ(readSize(L"150%"), 150); // any other form reads as before
}

TEST(OptionText, HeapShareInWholeMegabytes) {
    constexpr std::uint64_t MB = 1024 * 1024, GB = 1024 * MB;
    const struct {
        int share;
        std::uint64_t memory;
        bool vm32;
        std::int64_t megabytes;
    } cases[] = {
        {50, 16 * GB, false, 8192},
        {1, 16 * GB, false, 163}, // 163.84 rounds down
        {100, 16 * GB, false, 16384},
        {33, 3 * MB - 1, false, 1},          // just under a megabyte: at least 1
        {50, 4 * GB + 3 * MB, false, 2049},  // 2049.5 rounds down
        {50, 16 * GB, true, 1024},           // a 32-bit VM: at most 1,024 MB
        {25, 2 * GB, true, 512},             // below the 32-bit limit
        {100, 1ull << 62, false, 1ll << 42}, // no overflow
        {50, 0, false, 0},                   // memory unknown: no size
    };
    for (const auto& c : cases)
        EXPECT_EQ(heapShareMegabytes(c.share, c.memory, c.vm32), c.megabytes)
            << c.share << "% of " << c.memory;
}
