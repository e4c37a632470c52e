// The sweep of files that earlier launches could not remove (a killed launcher, a crash, a
// power cut).
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace tarrow {

// Removes every "kiv*.tmp" in the temporary folder that was last written more than a day ago,
// is held open by no running launch, holds one of the launcher's own files (launchFileKind) and
// whose owner (its owner record, LaunchOwner) no longer runs or is not known; an owner record
// goes with its file. Traces each. Costs one listing of those names; only files older than a
// day are opened. Another program's file, a file whose owner still runs, and any file younger
// than a day, stays. Sweeps at most once a day: the stamp "kiv-swept.stamp" beside them keeps
// the time of the last sweep that went through the whole folder, so that launches within a day
// of it pay for no listing, however many files the folder holds.
void sweepLeftovers();

// A sweep on a thread of its own, so that the folder's size never delays what the launcher
// does meanwhile (the VM's start). Since it only ever touches files older than a day, it never
// meets the files of the launch that runs it.
class BackgroundSweep {
  public:
    BackgroundSweep() = default;
    // finish().
    ~BackgroundSweep() { finish(); }
    BackgroundSweep(const BackgroundSweep&) = delete;
    BackgroundSweep& operator=(const BackgroundSweep&) = delete;

    // Starts the sweep, once, unless a whole sweep ended within a day (the stamp): then no
    // thread starts at all. Where Windows refuses a thread, sweeps before returning.
    void start();

    // Waits for the sweep to end, so that a launch leaves the folder as swept as it did when the
    // sweep came before the VM's start; the wait costs nothing unless the VM ended before it.
    void finish() noexcept;

  private:
    static DWORD WINAPI run(void*);

    UniqueHandle thread_;
};

} // namespace tarrow
