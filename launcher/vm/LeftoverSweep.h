// The sweep of files that earlier launches could not remove (a killed launcher, a crash, a
// power cut).
#pragma once

namespace tarrow {

// Removes every "kiv*.tmp" in the temporary folder that was last written more than a day ago,
// is held open by no running launch, holds one of the launcher's own files (launchFileKind) and
// whose owner (its owner record, LaunchOwner) no longer runs or is not known; an owner record
// goes with its file. Traces each. Costs one listing of those names; only files older than a
// day are opened. Another program's file, a file whose owner still runs, and any file younger
// than a day, stays.
void sweepLeftovers();

} // namespace tarrow
