// Starting a VM as a child process that shares the launcher's console and standard handles.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ChildProcess.h"
#include "UniqueHandle.h"
#include "VmJob.h"

namespace tarrow {

// Starts `commandLine` (its first token is the program) in `workingDirectory` (made absolute;
// empty means the launcher's current directory) with the launcher's standard handles and
// environment. With `wait`, returns after the process has ended. Raises TerminalError with
// string 103 and the system error number when the process cannot be started, and with error
// 206 when the working directory is too long for a path or the command line too long to pass
// whole (a shortened command line is never started). With a `job` that holds a job object, the
// process starts suspended, joins the job and only then runs, so that nothing it starts escapes
// the job; where Windows refuses the job, it runs outside it.
UniqueHandle startProcess(const std::wstring& workingDirectory, const std::wstring& commandLine,
                          bool wait, const VmJob* job = nullptr);

// Waits for a process without time limit and returns its exit code; nothing when the wait or
// the exit code query fails.
std::optional<DWORD> waitForExitCode(HANDLE process);

} // namespace tarrow
