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
