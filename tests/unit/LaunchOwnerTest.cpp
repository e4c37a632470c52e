#include <gtest/gtest.h>

#include "LaunchFileContent.h"
#include "LaunchOwner.h"

using namespace tarrow;

TEST(LaunchOwner, RecordsReadBackOnlyAsWritten) {
    const LaunchOwner widest{4294967295u, 18446744073709551615ull};
    EXPECT_EQ(ownerRecordText({1234, 133000000000000000ull}),
              "kiv owner 1234 133000000000000000\r\n");
    const struct {
        const char* what;
        std::string content;
        bool read;
        LaunchOwner owner;
    } cases[] = {
        {"as written",
         ownerRecordText({1234, 133000000000000000ull}),
         true,
         {1234, 133000000000000000ull}},
        {"the widest numbers", ownerRecordText(widest), true, widest},
        {"zeros", "kiv owner 0 0\r\n", true, {0, 0}},
        {"an id past 32 bits", "kiv owner 4294967296 1\r\n", false, {}},
        {"a time past 64 bits", "kiv owner 1 18446744073709551616\r\n", false, {}},
        {"a leading zero", "kiv owner 01 5\r\n", false, {}},
        {"a sign", "kiv owner -1 5\r\n", false, {}},
        {"no time", "kiv owner 12\r\n", false, {}},
        {"an empty time", "kiv owner 12 \r\n", false, {}},
        {"a third number", "kiv owner 1 2 3\r\n", false, {}},
        {"no line end", "kiv owner 1 2", false, {}},
        {"a line feed alone", "kiv owner 1 2\n", false, {}},
        {"a second line", "kiv owner 1 2\r\nkiv launch owner 3 4\r\n", false, {}},
        {"another head", "kiv 1 2\r\n", false, {}},
        {"a NUL", std::string("kiv owner 1\0 2\r\n", 16), false, {}},
        {"empty", "", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto owner = parseOwnerRecord(c.content);
        ASSERT_EQ(owner.has_value(), c.read);
        EXPECT_EQ(launchFileKind(c.content) == LaunchFileKind::OwnerRecord, c.read);
        if (owner) {
            EXPECT_EQ(owner->processId, c.owner.processId);
            EXPECT_EQ(owner->started, c.owner.started);
        }
    }
}

TEST(LaunchOwner, RecordLiesBesideItsFileUnderTheSweptPattern) {
    const struct {
        const wchar_t* file;
        const wchar_t* record;
    } cases[] = {
        {L"C:\\Temp\\kiv1A2B.tmp", L"C:\\Temp\\kiv1A2B-owner.tmp"},
        {L"C:\\Temp\\kiv0123456789ABCDEF.tmp", L"C:\\Temp\\kiv0123456789ABCDEF-owner.tmp"},
        {L"C:\\Temp\\kiv1A2B-owner.tmp", L""}, // a record has no record
        {L"C:\\Temp\\kiv1A2B.txt", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ownerRecordPath(c.file), c.record);
}

TEST(LaunchOwner, SweepWaitsForTheOwnerAndForADay) {
    constexpr std::uint64_t hour = kLaunchFileLifetime / 24;
    const struct {
        std::uint64_t age;
        OwnerState owner;
        bool swept;
    } cases[] = {
        {25 * hour, OwnerState::Ended, true},
        {25 * hour, OwnerState::Unknown, true}, // an earlier version's file: by age, as before
        {25 * hour, OwnerState::Running, false},
        {400 * 24 * hour, OwnerState::Running, false},
        {23 * hour, OwnerState::Ended, false},
        {23 * hour, OwnerState::Unknown, false},
        {kLaunchFileLifetime, OwnerState::Ended, false},
        {kLaunchFileLifetime + 1, OwnerState::Ended, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sweepsLaunchFile(c.age, c.owner), c.swept)
            << c.age / hour << " hours, owner state " << static_cast<int>(c.owner);
}

TEST(LaunchOwner, OnlyAnActiveProcessThatStartedWithTheOwnerRuns) {
    const LaunchOwner owner{4242, 133000000000000000};
    const std::uint64_t same = owner.started;
    const std::uint64_t other = owner.started + 1;
    const auto none = std::nullopt;
    const struct {
        ProcessAccess access;
        std::optional<bool> active;
        std::optional<std::uint64_t> started;
        OwnerState state;
    } cases[] = {
        {ProcessAccess::Opened, true, same, OwnerState::Running},
        {ProcessAccess::Opened, false, same, OwnerState::Ended},
        {ProcessAccess::Opened, true, other, OwnerState::Ended}, // the id was reused
        {ProcessAccess::Opened, none, other, OwnerState::Ended},
        {ProcessAccess::Opened, false, none, OwnerState::Ended},
        {ProcessAccess::Opened, true, none, OwnerState::Unknown},
        {ProcessAccess::Opened, none, same, OwnerState::Unknown},
        // Another user's process, perhaps one that took a killed launcher's id: by age alone.
        {ProcessAccess::Refused, none, none, OwnerState::Unknown},
        {ProcessAccess::Absent, none, none, OwnerState::Ended},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judgeOwner(owner, c.access, c.active, c.started), c.state)
            << "access " << static_cast<int>(c.access) << ", active "
            << (c.active ? int(*c.active) : -1) << ", started " << bool(c.started);
}
