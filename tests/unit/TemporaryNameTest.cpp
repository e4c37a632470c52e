#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "TemporaryName.h"

using namespace tarrow;

namespace {

const std::wstring kFolder = L"C:\\Users\\u\\Temp\\";

// A temporary folder in which Windows has no name left for the prefix (GetTempFileNameW fails),
// with the names that are taken.
struct FullFolder {
    std::set<std::wstring> names;
    bool refuse = false; // creating fails for another reason (access denied)
    void takeEveryWindowsName() {
        static const wchar_t hex[] = L"0123456789ABCDEF";
        for (unsigned n = 1; n <= 0xFFFF; ++n) {
            std::wstring digits;
            for (unsigned v = n; v; v >>= 4)
                digits.insert(digits.begin(), hex[v & 0xF]);
            names.insert(kFolder + L"kiv" + digits + L".tmp");
        }
    }
    std::optional<std::wstring> windowsName() const { return std::nullopt; }
    NameAttempt create(const std::wstring& name) {
        if (refuse)
            return NameAttempt::Failed;
        return names.insert(name).second ? NameAttempt::Created : NameAttempt::Exists;
    }
    std::optional<std::wstring> next(std::uint64_t seed) {
        return newTemporaryName(
            kFolder, seed, [this] { return windowsName(); },
            [this](const std::wstring& name) { return create(name); });
    }
};

} // namespace

TEST(TemporaryName, WindowsNameComesFirst) {
    int created = 0;
    const auto name = newTemporaryName(
        kFolder, 7, [] { return std::optional<std::wstring>(kFolder + L"kivA1.tmp"); },
        [&created](const std::wstring&) {
            ++created;
            return NameAttempt::Created;
        });
    EXPECT_EQ(name, kFolder + L"kivA1.tmp");
    EXPECT_EQ(created, 0);
}

TEST(TemporaryName, FullNameSpaceStillGivesNewNamesMatchedByTheSweep) {
    FullFolder folder;
    folder.takeEveryWindowsName();
    const size_t taken = folder.names.size();
    // Names left by an earlier process with the same id and tick count are passed over.
    const std::uint64_t seed = 0x00001234ABCD0000ULL;
    for (int i = 0; i < 3; ++i)
        folder.names.insert(ownTemporaryName(kFolder, seed + i));
    const std::wregex pattern(L"C:\\\\Users\\\\u\\\\Temp\\\\kiv[0-9A-F]{16}\\.tmp");
    std::set<std::wstring> given;
    for (int launch = 0; launch < 50; ++launch) {
        const auto name = folder.next(seed);
        ASSERT_TRUE(name) << launch;
        EXPECT_TRUE(std::regex_match(*name, pattern)) << *name;
        EXPECT_TRUE(given.insert(*name).second) << "given twice: " << *name;
    }
    EXPECT_EQ(folder.names.size(), taken + 3 + 50);
    EXPECT_EQ(*given.begin(), ownTemporaryName(kFolder, seed + 3));
}

TEST(TemporaryName, GivesUpOnOtherFailuresAndAfterItsAttempts) {
    FullFolder refusing;
    refusing.refuse = true;
    EXPECT_FALSE(refusing.next(1));

    FullFolder crowded;
    for (unsigned i = 0; i < kOwnNameAttempts; ++i)
        crowded.names.insert(ownTemporaryName(kFolder, 100 + i));
    EXPECT_FALSE(crowded.next(100));
    EXPECT_TRUE(crowded.next(99)); // one name before the crowd is still free
}

TEST(TemporaryName, OwnNamesAreSixteenDigitsNeverAWindowsName) {
    EXPECT_EQ(ownTemporaryName(kFolder, 0x0123456789ABCDEFULL),
              kFolder + L"kiv0123456789ABCDEF.tmp");
    EXPECT_EQ(ownTemporaryName(L"", 0xFFFF), L"kiv000000000000FFFF.tmp");
}
