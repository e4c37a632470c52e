// The launch trace: why the launcher found (or did not find) a Java VM and why it chose the
// one it did. Off unless the environment variable KIV_TRACE is set: "1" writes to standard
// error, any other value names a file the trace is appended to (UTF-8, created if missing).
// In service mode only the file form is used. A trace file that cannot be opened is skipped
// silently: the trace never stops a launch. Each line starts with the milliseconds since the
// launcher started.
#pragma once

#include <string>

namespace tarrow {

// Reads KIV_TRACE and notes the start time; called once by the entry point.
void startTrace(bool serviceMode);

// Whether trace lines are wanted (so that callers skip building them otherwise).
bool tracing();

// Writes one line of the trace when tracing.
void trace(const std::wstring& line);

} // namespace tarrow
