// The branding command: "-mvkivbrand OUT [icon=FILE.ico] [product=TEXT] [version=A.B.C.D]
// [company=TEXT] [description=TEXT] [copyright=TEXT]".
#pragma once

#include <string>
#include <vector>

namespace tarrow {

// Writes OUT, a copy of the running launcher branded as the arguments ask (argv as the shell
// splits the command line), and prints one line saying so; returns the exit code 0. The copy
// is written beside OUT and moved into place, so that OUT is either whole or untouched. Raises
// TerminalError when an argument or the icon file is malformed, or OUT cannot be written.
int runBrand(const std::vector<std::wstring>& argv);

} // namespace tarrow
