#include "BroadWriteAccess.h"

#include <optional>

namespace tarrow {

namespace {

// Layout constants of the Windows security structures (winnt.h), spelled out here so that the
// judgement builds without windows.h.
constexpr std::uint16_t kDaclPresent = 0x0004;     // SE_DACL_PRESENT
constexpr std::uint16_t kSelfRelative = 0x8000;    // SE_SELF_RELATIVE
constexpr std::size_t kDescriptorHeader = 20;      // SECURITY_DESCRIPTOR_RELATIVE
constexpr std::size_t kAclHeader = 8;              // ACL
constexpr std::size_t kAceHeader = 4;              // ACE_HEADER
constexpr std::size_t kSidHeader = 8;              // SID without its sub-authorities
constexpr std::uint8_t kAllowedAce = 0x00;         // ACCESS_ALLOWED_ACE_TYPE
constexpr std::uint8_t kDeniedAce = 0x01;          // ACCESS_DENIED_ACE_TYPE
constexpr std::uint8_t kAllowedCallbackAce = 0x09; // ACCESS_ALLOWED_CALLBACK_ACE_TYPE
constexpr std::uint8_t kInheritOnly = 0x08;        // INHERIT_ONLY_ACE

constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
// FILE_ALL_ACCESS and the write part of FILE_GENERIC_WRITE.
constexpr std::uint32_t kFileAllAccess = 0x001F01FF;
constexpr std::uint32_t kFileGenericWrite = 0x00000116;

struct Right {
    std::uint32_t mask;
    const wchar_t* file;   // worded for a file; null when the bit means nothing on files
    const wchar_t* folder; // worded for a folder
};

// The rights that change an object or what a folder holds, in the order they are reported.
// Extended attributes and basic attributes (read-only, hidden) are left out: they do not
// change what the service runs.
constexpr Right kRights[] = {
    {0x00000002, L"write data to", L"create files in"},               // FILE_WRITE_DATA
    {0x00000004, L"append data to", L"create folders in"},            // FILE_APPEND_DATA
    {0x00000040, nullptr, L"delete files in"},                        // FILE_DELETE_CHILD
    {0x00010000, L"delete", L"delete"},                               // DELETE
    {0x00040000, L"change permissions of", L"change permissions of"}, // WRITE_DAC
    {0x00080000, L"take ownership of", L"take ownership of"},         // WRITE_OWNER
};

struct Group {
    const wchar_t* name;
    std::uint8_t authority;
    std::uint8_t count;
    std::uint32_t subAuthorities[2];
};

// S-1-1-0, S-1-5-11, S-1-5-32-545, S-1-5-4, S-1-5-32-546, and the logon groups every
// ordinary user's token may hold: S-1-2-0, S-1-2-1, S-1-5-14, S-1-5-15.
constexpr Group kGroups[] = {
    {L"Everyone", 1, 1, {0, 0}},           {L"Authenticated Users", 5, 1, {11, 0}},
    {L"Users", 5, 2, {32, 545}},           {L"Interactive", 5, 1, {4, 0}},
    {L"Guests", 5, 2, {32, 546}},          {L"Local", 2, 1, {0, 0}},
    {L"Console Logon", 2, 1, {1, 0}},      {L"Remote Interactive Logon", 5, 1, {14, 0}},
    {L"This Organization", 5, 1, {15, 0}},
};
constexpr const Group& kEveryone = kGroups[0];

std::uint16_t read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool sidIs(const std::uint8_t* sid, const Group& group) {
    if (sid[1] != group.count)
        return false;
    for (int i = 2; i < 7; ++i) {
        if (sid[i] != 0)
            return false;
    }
    if (sid[7] != group.authority)
        return false;
    for (std::uint8_t i = 0; i < group.count; ++i) {
        if (read32(sid + kSidHeader + 4 * i) != group.subAuthorities[i])
            return false;
    }
    return true;
}

std::uint32_t mapGeneric(std::uint32_t mask) {
    if (mask & kGenericAll)
        mask |= kFileAllAccess;
    if (mask & kGenericWrite)
        mask |= kFileGenericWrite;
    return mask;
}

// The rights among `wanted` that the DACL at `acl` (`room` bytes to the end of the descriptor)
// leaves to `group`, each decided by the first allow or deny entry for the group or for
// Everyone that names it; nullopt when the DACL is damaged.
std::optional<std::uint32_t> grantedTo(const std::uint8_t* acl, std::size_t room,
                                       const Group& group, std::uint32_t wanted) {
    if (room < kAclHeader)
        return std::nullopt;
    const std::size_t aclSize = read16(acl + 2);
    const std::size_t count = read16(acl + 4);
    if (aclSize < kAclHeader || aclSize > room)
        return std::nullopt;
    std::uint32_t decided = 0, granted = 0;
    std::size_t at = kAclHeader;
    for (std::size_t i = 0; i < count; ++i) {
        if (aclSize - at < kAceHeader)
            return std::nullopt;
        const std::uint8_t* ace = acl + at;
        const std::size_t aceSize = read16(ace + 2);
        if (aceSize < kAceHeader || aceSize > aclSize - at)
            return std::nullopt;
        at += aceSize;
        const std::uint8_t type = ace[0];
        if (type != kAllowedAce && type != kDeniedAce && type != kAllowedCallbackAce)
            continue;
        const std::uint8_t* sid = ace + kAceHeader + 4;
        if (aceSize < kAceHeader + 4 + kSidHeader ||
            aceSize < kAceHeader + 4 + kSidHeader + 4 * sid[1] || sid[0] != 1)
            return std::nullopt;
        if ((ace[1] & kInheritOnly) || (!sidIs(sid, group) && !sidIs(sid, kEveryone)))
            continue;
        const std::uint32_t bits = mapGeneric(read32(ace + kAceHeader)) & wanted & ~decided;
        if (type != kDeniedAce)
            granted |= bits;
        decided |= bits;
    }
    return granted;
}

BroadWrite found(const Group& group, std::uint32_t granted, bool folder) {
    for (const Right& r : kRights) {
        if (granted & r.mask)
            return {BroadWriteOutcome::Granted, group.name, folder ? r.folder : r.file};
    }
    return {};
}

std::uint32_t wantedRights(bool folder) {
    std::uint32_t wanted = 0;
    for (const Right& r : kRights) {
        if (folder || r.file)
            wanted |= r.mask;
    }
    return wanted;
}

} // namespace

BroadWrite judgeBroadWriteAccess(const std::uint8_t* descriptor, std::size_t size, bool folder) {
    if (!descriptor || size < kDescriptorHeader || descriptor[0] != 1)
        return {BroadWriteOutcome::Unreadable};
    const std::uint16_t control = read16(descriptor + 2);
    if (!(control & kSelfRelative))
        return {BroadWriteOutcome::Unreadable};
    const std::uint32_t daclOffset = read32(descriptor + 16);
    const std::uint32_t wanted = wantedRights(folder);
    if (!(control & kDaclPresent) || daclOffset == 0)
        return found(kEveryone, wanted, folder);
    if (daclOffset >= size)
        return {BroadWriteOutcome::Unreadable};
    for (const Group& group : kGroups) {
        const auto granted = grantedTo(descriptor + daclOffset, size - daclOffset, group, wanted);
        if (!granted)
            return {BroadWriteOutcome::Unreadable};
        if (*granted)
            return found(group, *granted, folder);
    }
    return {};
}

} // namespace tarrow
