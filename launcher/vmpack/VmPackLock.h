// One pack step at a time for one VM folder: a lock file beside the folder, held by the launch
// whose step runs, from the download to the end of the installation.
#pragma once

#include <string>

#include "UniqueHandle.h"

namespace tarrow {

class VmPackLock {
  public:
    // Takes the lock of `folder` (the file `folder`.lock, a trailing separator ignored; none
    // for an empty name), waiting as long as another launch holds it; the trace says that it
    // waits. A lock file that is a link is never followed and never used; a lock that cannot be
    // had otherwise (a folder that cannot be written) leaves the step unlocked, as before: both
    // are traced.
    explicit VmPackLock(const std::wstring& folder);
    // Releases the lock; a folder made for the lock file is removed when it is left empty.
    ~VmPackLock();
    VmPackLock(const VmPackLock&) = delete;
    VmPackLock& operator=(const VmPackLock&) = delete;

    // True when another launch held the lock and, by the time it was released, had put another
    // folder at `folder` than the one there when this launch began to wait: the other launch
    // installed a VM there.
    bool replacedWhileWaiting() const { return replaced_; }

  private:
    UniqueHandle file_;
    std::wstring createdFolder_;
    bool replaced_ = false;
};

} // namespace tarrow
