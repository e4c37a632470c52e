// The full path of the launcher's own executable.
#pragma once

#include <string>

#include "CommandLine.h"

namespace tarrow {

// Argument 0 normalised, with ".exe" added when it has no extension; when no such file exists,
// the first match along the search path; failing that, the path the system loaded the program
// from. Raises TerminalError "unable to locate executable" when nothing is found.
std::wstring programPath(const CommandLine& commandLine);

// The path of the image this process runs, as the system loaded it, read whole however long it
// is: what argument 0 names may be another file. Raises TerminalError "unable to locate
// executable" when the system cannot say.
std::wstring runningProgramPath();

} // namespace tarrow
