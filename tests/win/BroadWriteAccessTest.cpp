// The judgement of who may change a file, on descriptors written in SDDL and converted by
// Windows into the self-relative form that GetFileSecurityW returns.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "BroadWriteAccess.h"

using namespace tarrow;

namespace {

// "Group: right", or "none", or "unreadable".
std::wstring judgeSddl(const wchar_t* sddl, bool folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              &size))
        return L"not converted: " + std::to_wstring(GetLastError());
    const BroadWrite b =
        judgeBroadWriteAccess(static_cast<const std::uint8_t*>(descriptor), size, folder);
    LocalFree(descriptor);
    if (b.outcome == BroadWriteOutcome::Unreadable)
        return L"unreadable";
    return b.outcome == BroadWriteOutcome::None ? L"none" : std::wstring(b.group) + L": " + b.right;
}

} // namespace

TEST(BroadWriteAccess, DescriptorsWrittenInSddl) {
    const struct {
        const wchar_t* sddl;
        bool folder;
        const wchar_t* expected;
    } cases[] = {
        // What a folder under Program Files holds: users read and run.
        {L"D:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", true, L"none"},
        {L"D:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)", false, L"none"},
        // A folder made under C:\ inherits Modify for Authenticated Users.
        {L"D:(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)", false, L"Authenticated Users: write data to"},
        {L"D:(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)", true, L"Authenticated Users: create files in"},
        // C:\ itself: Authenticated Users may create folders there; Modify is inherit-only.
        {L"D:(A;;0x4;;;AU)(A;OICIIO;SDGXGWGR;;;AU)", true,
         L"Authenticated Users: create folders in"},
        {L"D:(A;OICIIO;SDGXGWGR;;;AU)(A;OICIIO;GA;;;WD)", true, L"none"},
        // Explicit and inherited entries count alike.
        {L"D:(A;;FW;;;BU)", false, L"Users: write data to"},
        {L"D:(A;ID;FW;;;BU)", false, L"Users: write data to"},
        {L"D:(A;;0x4;;;IU)", false, L"Interactive: append data to"},
        {L"D:(A;;FA;;;S-1-2-0)", false, L"Local: write data to"},
        {L"D:(A;;SD;;;S-1-2-1)", false, L"Console Logon: delete"},
        {L"D:(A;;WD;;;S-1-5-14)", false, L"Remote Interactive Logon: change permissions of"},
        {L"D:(A;;0x40;;;S-1-5-15)", true, L"This Organization: delete files in"},
        {L"D:(A;;FA;;;S-1-2-2)", false, L"none"},
        // Deny entries decide the rights they name, before the allow entries after them.
        {L"D:(D;;FW;;;BU)(A;;FA;;;BU)", false, L"Users: delete"},
        {L"D:(D;;FWSDWDWO;;;BU)(A;;FA;;;BU)", false, L"none"},
        {L"D:(D;;FWSDWDWO;;;BU)(A;;FA;;;BU)", true, L"Users: delete files in"},
        {L"D:(D;;FWSDWDWO;;;WD)(A;;FA;;;BU)", false, L"none"},
        {L"D:(D;;FA;;;BU)(A;;FA;;;AU)", false, L"Authenticated Users: write data to"},
        {L"D:(D;ID;FA;;;BU)(A;;FW;;;BU)", false, L"none"},
        // An allow entry ahead of a deny entry wins, as in the access check.
        {L"D:(A;;FW;;;BU)(D;;FA;;;BU)", false, L"Users: write data to"},
        // Generic rights stand for the file rights.
        {L"D:(A;;GW;;;BG)", false, L"Guests: write data to"},
        {L"D:(A;;GA;;;WD)", true, L"Everyone: create files in"},
        {L"D:(A;;GRGX;;;WD)", false, L"none"},
        {L"D:(D;;GA;;;BU)(A;;FA;;;BU)", false, L"none"},
        // The rights that count beyond writing, and those that do not.
        {L"D:(A;;SD;;;BU)", false, L"Users: delete"},
        {L"D:(A;;WD;;;AU)", false, L"Authenticated Users: change permissions of"},
        {L"D:(A;;WO;;;BU)", true, L"Users: take ownership of"},
        {L"D:(A;;0x40;;;BU)", false, L"none"},
        {L"D:(A;;0x40;;;BU)", true, L"Users: delete files in"},
        {L"D:(A;;0x190;;;BU)", false, L"none"}, // attributes and extended attributes
        // Only the broad groups count, the first of them in a fixed order.
        {L"D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FA;;;S-1-5-21-1-2-3-1001)(A;;FA;;;NS)", false, L"none"},
        {L"D:(A;;FA;;;BG)(A;;FA;;;IU)(A;;FA;;;BU)", false, L"Users: write data to"},
        // No DACL: everyone may do everything; an empty DACL: nobody anything.
        {L"O:BAG:SY", false, L"Everyone: write data to"},
        {L"D:", true, L"none"},
        {L"D:P", false, L"none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judgeSddl(c.sddl, c.folder), c.expected) << c.sddl << (c.folder ? " folder" : "");
}

// Wine converts "D:NO_ACCESS_CONTROL" to an empty DACL: the null DACL is made by hand.
TEST(BroadWriteAccess, ANullDaclLetsEveryoneDoEverything) {
    SECURITY_DESCRIPTOR absolute;
    ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, nullptr, FALSE));
    BYTE relative[256];
    DWORD size = sizeof relative;
    ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative, &size)) << GetLastError();
    for (const bool folder : {false, true}) {
        const BroadWrite b = judgeBroadWriteAccess(relative, size, folder);
        ASSERT_EQ(b.outcome, BroadWriteOutcome::Granted);
        EXPECT_STREQ(b.group, L"Everyone");
        EXPECT_STREQ(b.right, folder ? L"create files in" : L"write data to");
    }
}
