// Every native runs inside this guard: no C++ exception and no processor fault (access
// violation and the like) raised in the library's own code or in the PDF library crosses into
// the Java VM; the native then returns its failure value.
//
// Faults are caught by a vectored handler that the library installs while it is loaded and
// removes when it is unloaded. The handler acts only on the thread that is inside a guard and
// only for faults in this library's or the PDF library's code: every other fault of the VM
// (which uses faults itself) goes on to the VM's own handlers untouched.
#pragma once

#include <csetjmp>

namespace tarrow {

// Marks the calling thread as running a native, with a place to return to after a fault.
class FaultGuard {
  public:
    FaultGuard();
    ~FaultGuard();
    FaultGuard(const FaultGuard&) = delete;
    FaultGuard& operator=(const FaultGuard&) = delete;
    std::jmp_buf& recovery() { return recovery_; }

  private:
    std::jmp_buf recovery_;
    FaultGuard* previous_;
};

// Runs `body`; a fault inside it returns `failure`. The frames of `body` are left without
// running their destructors, so callers keep what must be released outside it. A C++
// exception thrown by `body` passes through to the caller.
template <typename Result, typename Body> Result faultGuarded(Result failure, Body body) {
    FaultGuard guard;
    if (setjmp(guard.recovery()) != 0)
        return failure;
    return body();
}

// The guard of every native: C++ exceptions and faults both end in `failure`.
template <typename Result, typename Body> Result guarded(Result failure, Body body) noexcept {
    try {
        return faultGuarded(failure, body);
    } catch (...) {
        return failure;
    }
}

} // namespace tarrow
