// VmJob: the job object that holds a VM and every process it starts. While the launcher holds
// it with kill-on-close, ending the launcher in any way (a kill included) ends them all; a
// process started with CREATE_BREAKAWAY_FROM_JOB leaves it, and lifting kill-on-close lets the
// processes in it outlive the launcher.
#pragma once

#include <windows.h>

#include <optional>

#include "UniqueHandle.h"

namespace tarrow {

class VmJob {
  public:
    // An empty job: processes started with it run outside any job.
    VmJob() = default;

    // A new job with kill-on-close and breakaway allowed; empty (and traced) when Windows
    // refuses one.
    static VmJob create();

    explicit operator bool() const { return static_cast<bool>(job_); }
    HANDLE get() const { return job_.get(); }

    // Adds `process`, which should still be suspended so that nothing it starts escapes; false
    // (and traced) when Windows refuses, as it does inside a job that forbids nesting or
    // breakaway on Windows 7. The process then runs outside the job.
    bool assign(HANDLE process) const;

    // Lifts kill-on-close: the processes still in the job outlive the launcher's last handle.
    void keepProcessesOnClose() const;

    // Whether any process still runs in the job; false for an empty job.
    bool hasRunningProcesses() const;

    // The id of a process other than a console host that still runs in the job, or
    // kUnlistedProcess when some do but the job's list cannot be read; nothing for an empty job
    // or when none runs.
    std::optional<DWORD> runningProcess() const;
    static constexpr DWORD kUnlistedProcess = 0;

    // Ends every process in the job with `exitCode` and waits (at most two seconds) until none
    // runs any more; nothing for an empty job.
    void terminate(UINT exitCode) const;

  private:
    explicit VmJob(HANDLE job) : job_(job) {}
    bool setLimits(DWORD flags) const;

    UniqueHandle job_;
};

} // namespace tarrow
