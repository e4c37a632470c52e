// The launcher's console: standard handles, the window title and the error line.
#pragma once

#include <windows.h>

#include <string>

#include "VmJob.h"

namespace tarrow {

class Console {
  public:
    // The standard handles, fetched at each call.
    HANDLE input() const;
    HANDLE output() const;
    HANDLE error() const;

    void setTitle(const std::wstring& title);

    // Set by the windowed launcher, which has no console: the console programs it starts (the
    // VM, the validators) get none either, instead of a console window of their own, and the
    // Ctrl key is not read at start.
    void setWindowless() { windowless_ = true; }
    bool windowless() const { return windowless_; }

    // Writes "<Pellinor Error>: <message>" and a line end to standard error: through the
    // console when standard error is one, otherwise as UTF-8 bytes, so the line is never lost.
    // Returns the line.
    std::wstring printError(const std::wstring& message);

  private:
    bool windowless_ = false;
};

// While it lives, the console's control events are left to the child that shares the console
// and receives them too (the VM): the launcher ignores Ctrl+C and Ctrl+Break, and at a close of
// the console it holds on (until Windows' time for the close is up) so that it can end by
// itself once the child has, with the child's exit code and without leaving files behind. A VM
// that does not share the console (a Windows-subsystem program) gets no close event: at a close
// its job lets it live on and the launcher ends.
// Log-off and shutdown keep their default handling: Windows does not send them to a program
// that has loaded the user-interface library, as the launcher has.
class ControlEventsLeftToChild {
  public:
    ControlEventsLeftToChild();
    ~ControlEventsLeftToChild();
    ControlEventsLeftToChild(const ControlEventsLeftToChild&) = delete;
    ControlEventsLeftToChild& operator=(const ControlEventsLeftToChild&) = delete;

    // The VM in `job` is not attached to the console: a close of the console lifts the job's
    // kill-on-close (VmJob::keepProcessesOnClose) before the launcher ends. `job` outlives this
    // object.
    void releaseOnClose(const VmJob& job);
};

// The process-wide console object.
Console& console();

} // namespace tarrow
