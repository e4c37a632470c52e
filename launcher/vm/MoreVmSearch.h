// The places where today's Java runtimes announce themselves beyond the JavaSoft and IBM keys
// of the machine and the PATH: the registry keys of the runtime vendors (machine-wide and per
// user), the JavaSoft keys of per-user installs, and JAVA_HOME.
#pragma once

#include <memory>
#include <vector>

#include "JVM.h"

namespace tarrow {

// Every installation folder these places name that holds bin\java.exe, in this order: the
// vendor keys, then the per-user JavaSoft keys; each vendor key below HKEY_LOCAL_MACHINE in the
// launcher's own registry view and then (when `sees64Bit`) the 64-bit view, then below
// HKEY_CURRENT_USER once (that hive is the same in both views); then JAVA_HOME. Below each key
// the folder is a string value "Path", "InstallationPath" or "JavaHome" of a subkey up to three
// levels down. Each is described as the PATH's programs are (VmCandidate.h); a folder without
// bin\java.exe is skipped (the trace says so). Registry failures never leave the search.
std::vector<std::unique_ptr<JVM>> findMoreVms(bool sees64Bit);

} // namespace tarrow
