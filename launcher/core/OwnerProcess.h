// The processes that own launch files (LaunchOwner): this launcher, a process that stays in the
// VM's job, and whether an owner still runs.
#pragma once

#include <windows.h>

#include <optional>

#include "LaunchOwner.h"

namespace tarrow {

// The process with id `processId`; nothing when it cannot be opened or its creation time read.
std::optional<LaunchOwner> launchOwnerOf(DWORD processId);

// Running when the process of that id exists with that creation time and has not exited, and
// when Windows refuses to open it (another user's process, as far as anyone can tell, still
// runs); Ended when no process has that id, or the id now names a process that started at
// another time.
OwnerState ownerState(const LaunchOwner& owner);

} // namespace tarrow
