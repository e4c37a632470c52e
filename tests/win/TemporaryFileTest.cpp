#include <windows.h>

#include <gtest/gtest.h>

#include "LaunchOwner.h"
#include "TemporaryFile.h"
#include "TestFolder.h"
#include "UniqueHandle.h"

using namespace tarrow;

namespace {

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What stands at a launch file's owner record name before its owner is named.
enum class AtRecordName { Nothing, Orphan, HeldRecord, Folder };

} // namespace

// The record is made only when the owner is named, and only what no one holds is taken over.
TEST(TemporaryFile, OwnerRecordIsMadeWhenItsOwnerIsNamed) {
    const LaunchOwner owner{4242, 133000000000000000ULL};
    const struct {
        AtRecordName before;
        bool recorded; // the record names the owner
    } cases[] = {
        {AtRecordName::Nothing, true},
        {AtRecordName::Orphan, true},
        {AtRecordName::HeldRecord, false},
        {AtRecordName::Folder, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.before));
        std::unique_ptr<TemporaryFile> file = TemporaryFile::create();
        ASSERT_TRUE(file);
        const std::wstring path = file->path();
        const std::wstring record = ownerRecordPath(path);
        EXPECT_FALSE(exists(record)) << "made before its owner was named";
        const std::string orphan = "kiv owner 7 7\r\n and more of an earlier launch\r\n";
        UniqueHandle held;
        if (c.before == AtRecordName::Folder) {
            ASSERT_TRUE(CreateDirectoryW(record.c_str(), nullptr));
        } else if (c.before != AtRecordName::Nothing) {
            held.reset(CreateFileW(record.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            ASSERT_TRUE(held && WriteFile(held.get(), orphan.data(),
                                          static_cast<DWORD>(orphan.size()), &written, nullptr));
            if (c.before == AtRecordName::Orphan)
                held.reset();
        }
        file->recordOwner(owner);
        const std::string content =
            c.before == AtRecordName::Folder ? std::string() : tarrow::test::readFile(record);
        EXPECT_EQ(content == ownerRecordText(owner), c.recorded) << content;
        file.reset();
        EXPECT_FALSE(exists(path));
        // The file's own record goes with it; another's stays.
        EXPECT_EQ(exists(record), !c.recorded);
        held.reset();
        RemoveDirectoryW(record.c_str());
        DeleteFileW(record.c_str());
    }
}
