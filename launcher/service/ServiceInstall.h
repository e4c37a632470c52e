// The launcher's service commands, run instead of a launch: "-mvkivinstall NAME [arguments...]"
// registers the service NAME, whose program is this launcher with "-mvkivservice NAME" and the
// arguments, configured by the ".kiv" settings; "-mvkivuninstall NAME" stops the service when it
// runs, through the service control manager so that its graceful stop runs, and removes it.
#pragma once

#include "CommandLine.h"

namespace tarrow {

// Runs the command line's service command and prints one line on standard output. Raises
// TerminalError, whose message is the error line, when the command fails: not allowed, the
// name already registered (that registration is left as it was), no such service, a setting
// that is not valid (nothing is registered), or a service that did not stop in time (it is
// then marked for removal).
void runServiceCommand(const CommandLine& commandLine);

} // namespace tarrow
