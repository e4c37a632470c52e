#include <gtest/gtest.h>

#include "Errors.h"
#include "StringCache.h"

using namespace tarrow;

TEST(StringCache, SecondRequestDoesNotLoadAgain) {
    int loads = 0;
    StringCache cache([&](int id) -> std::optional<std::wstring> {
        ++loads;
        return L"text " + std::to_wstring(id);
    });
    EXPECT_EQ(cache.get(102), L"text 102");
    EXPECT_EQ(cache.get(102), L"text 102");
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(cache.get(110), L"text 110");
    EXPECT_EQ(loads, 2);
}

TEST(StringCache, MissingOrEmptyTextIsAnInvalidKeyAndIsAskedForAgain) {
    int loads = 0;
    StringCache cache([&](int id) -> std::optional<std::wstring> {
        ++loads;
        if (id == 1)
            return std::wstring();
        return std::nullopt;
    });
    try {
        cache.get(7);
        FAIL() << "no exception";
    } catch (const StringTableException& e) {
        EXPECT_EQ(e.message(), L"invalid key");
        EXPECT_STREQ(e.what(), "Unknown exception");
    }
    EXPECT_THROW(cache.get(1), StringTableException);
    EXPECT_THROW(cache.get(7), StringTableException);
    EXPECT_EQ(loads, 3);
}
