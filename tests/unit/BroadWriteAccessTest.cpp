// Damaged descriptors: the judgement reads only inside the bytes and calls them unreadable.
// Whole descriptors, written in SDDL, are judged in the Windows tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "BroadWriteAccess.h"

using namespace tarrow;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A self-relative descriptor whose DACL allows Users (S-1-5-32-545) FILE_WRITE_DATA.
Bytes usersMayWrite() {
    Bytes b = {1, 0};
    put(b, 0x8004, 2);         // self-relative, DACL present
    b.resize(16);              // no owner, group or SACL
    put(b, 20, 4);             // DACL offset
    b.insert(b.end(), {2, 0}); // ACL revision
    put(b, 8 + 24, 2);         // ACL size
    put(b, 1, 2);              // one entry
    put(b, 0, 2);
    b.insert(b.end(), {0, 0}); // allow, no flags
    put(b, 24, 2);             // entry size
    put(b, 0x2, 4);            // FILE_WRITE_DATA
    b.insert(b.end(), {1, 2, 0, 0, 0, 0, 0, 5});
    put(b, 32, 4);
    put(b, 545, 4);
    return b;
}

BroadWriteOutcome judged(const Bytes& b) {
    return judgeBroadWriteAccess(b.data(), b.size(), false).outcome;
}

} // namespace

TEST(BroadWriteAccess, TheIntactDescriptorIsAGrant) {
    const Bytes b = usersMayWrite();
    const BroadWrite found = judgeBroadWriteAccess(b.data(), b.size(), false);
    ASSERT_EQ(found.outcome, BroadWriteOutcome::Granted);
    EXPECT_STREQ(found.group, L"Users");
    EXPECT_STREQ(found.right, L"write data to");
}

// Every cut ends inside the DACL that the header promises (the copy makes ASan see overreads).
TEST(BroadWriteAccess, ACutDescriptorIsUnreadable) {
    const Bytes whole = usersMayWrite();
    for (size_t size = 0; size < whole.size(); ++size) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(judged(cut), BroadWriteOutcome::Unreadable) << size;
    }
    EXPECT_EQ(judgeBroadWriteAccess(nullptr, 0, true).outcome, BroadWriteOutcome::Unreadable);
}

TEST(BroadWriteAccess, DamagedFieldsAreUnreadable) {
    const struct {
        const char* what;
        size_t at;
        std::uint8_t value;
    } cases[] = {
        {"descriptor revision", 0, 2},
        {"absolute descriptor", 3, 0x00},
        {"DACL beyond the bytes", 16, 60},
        {"ACL larger than the bytes", 22, 60},
        {"ACL smaller than its header", 22, 4},
        {"a second entry that is not there", 24, 2},
        {"entry larger than the ACL", 30, 40},
        {"entry smaller than its header", 30, 2},
        {"SID revision", 36, 3},
        {"SID longer than its entry", 37, 3},
    };
    for (const auto& c : cases) {
        Bytes b = usersMayWrite();
        b[c.at] = c.value;
        EXPECT_EQ(judged(b), BroadWriteOutcome::Unreadable) << c.what;
    }
}
