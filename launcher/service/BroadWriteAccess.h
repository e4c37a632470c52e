// Whether the groups that take in ordinary users may change a file or folder, judged from the
// bytes of its self-relative security descriptor as Windows' access check would judge them.
// A service that runs as a system account must not trust what such groups can change.
// Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarrow {

enum class BroadWriteOutcome {
    None,       // no such group may change the object
    Granted,    // `group` may do `right`
    Unreadable, // the bytes are not a self-relative descriptor with a well-formed DACL
};

struct BroadWrite {
    BroadWriteOutcome outcome = BroadWriteOutcome::None;
    // The group's name ("Everyone", "Authenticated Users", "Users", "Interactive", "Guests",
    // "Local", "Console Logon", "Remote Interactive Logon", "This Organization") and what it may do, worded to follow "may" and to precede the object's name ("write data
    // to", "create files in", "delete", ...); null unless Granted.
    const wchar_t* group = nullptr;
    const wchar_t* right = nullptr;
};

// The first of the groups Everyone, Authenticated Users, Users, Interactive, Guests, Local,
// Console Logon, Remote Interactive Logon and This Organization, in that order, that the descriptor lets write or append data (files), create files or folders or
// delete their files (folders), delete, change the permissions or take ownership, with the
// first such right. The DACL's entries are read in their order, as the access check reads them:
// for each right, the first allow or deny entry for the group, or for Everyone (which every
// user's token holds), that names it decides. Generic rights count as the file rights they
// stand for; inherit-only entries do not apply to the object itself; entries of other types
// are ignored, except conditional allow entries, which count as allow entries since their
// condition may hold. A descriptor without a DACL, or with a null DACL, lets everyone do
// everything; an empty DACL lets nobody do anything.
BroadWrite judgeBroadWriteAccess(const std::uint8_t* descriptor, std::size_t size, bool folder);

} // namespace tarrow
