// One pack step at a time for one VM folder: a lock file beside the folder, held by the launch
// whose step runs, from the download to the end of the installation.
#pragma once

#include <string>

#include "UniqueHandle.h"

namespace tarrow {

class VmPackLock {
  public:
    // Takes the lock of `folder` (the file `folder`.lock, a trailing separator ignored; none
    // for an empty name), waiting while another launch holds it, 15 minutes at most; the trace
    // says that it waits. A lock file that is a link or has another name, or a folder below
    // `base` on its way that is a link, is never followed and never used; a lock that cannot be
    // had otherwise (a folder that cannot be written, a wait too long) leaves the step
    // unlocked, as before: all are traced.
    VmPackLock(const std::wstring& base, const std::wstring& folder);
    // Releases the lock, deleting its file; a folder made for the lock file is removed when it
    // is left empty.
    ~VmPackLock();
    VmPackLock(const VmPackLock&) = delete;
    VmPackLock& operator=(const VmPackLock&) = delete;

    // True when another launch held the lock and, by the time it was released, had put another
    // folder at `folder` than the one there when this launch began to wait: the other launch
    // installed a VM there.
    bool replacedWhileWaiting() const { return replaced_; }
    // True when this launch holds the lock: no other one writes beside the folder meanwhile.
    bool held() const { return static_cast<bool>(file_); }

  private:
    UniqueHandle file_;
    std::wstring createdFolder_;
    bool replaced_ = false;
};

} // namespace tarrow
