// The processes that own launch files (LaunchOwner): this launcher, a process that stays in the
// VM's job, and whether an owner still runs.
#pragma once

#include <windows.h>

#include <optional>

#include "LaunchOwner.h"

namespace tarrow {

// The process with id `processId`; nothing when it cannot be opened or its creation time read.
std::optional<LaunchOwner> launchOwnerOf(DWORD processId);

// Whether the owner still runs, as judgeOwner decides from what Windows tells of the process
// that now has its id.
OwnerState ownerState(const LaunchOwner& owner);

} // namespace tarrow
