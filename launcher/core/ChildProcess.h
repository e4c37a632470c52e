// Starting a child process: the one place that calls CreateProcessW.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueHandle.h"

namespace tarrow {

// The longest command line CreateProcessW takes: 32,767 characters with the terminating NUL.
constexpr size_t kMaxCommandLineChars = 32766;

// The standard handles a child gets; they must be inheritable where set.
struct StandardHandles {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE error = nullptr;
};

// A started child: its process and its main thread, each with one owner; `error` is the system
// error when it could not be started (both handles then empty).
struct ChildProcess {
    UniqueHandle process;
    UniqueHandle thread;
    DWORD error = ERROR_SUCCESS;
    explicit operator bool() const { return static_cast<bool>(process); }
};

// Starts `commandLine` (its first token is the program) with inherited handles, the given
// standard handles and creation flags, in `directory` (empty: the current directory). A command
// line too long to pass whole is never started: error 206 (ERROR_FILENAME_EXCED_RANGE).
ChildProcess startChild(const std::wstring& commandLine, const std::wstring& directory,
                        const StandardHandles& handles, DWORD creationFlags);

} // namespace tarrow
