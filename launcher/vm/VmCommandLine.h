// The command lines of the three VM classes. Platform-free: the caller supplies the paths
// and versions that need the file system.
#pragma once

#include <cstdint>
#include <string>

#include "JVMVersion.h"
#include "JavaOptions.h"

namespace tarrow {

// Launcher arguments quoted with "/" for "\" and each followed by a space, then the
// application's arguments separated by spaces, backslashes doubled, quoted when they hold
// a space.
std::wstring argumentString(const JavaOptions& options);

// Turns the heap sizes given as shares of physical memory into whole megabytes for a VM of
// this bitness (heapShareMegabytes); when either size is such a share, an initial size above
// the maximum becomes the maximum.
void resolveHeapShares(JavaOptions& options, std::uint64_t physicalBytes, bool vm32Bit);

// The text of a Java argument file that hands `classPath` to the VM: "-classpath" and the list
// quoted by the rules of argument files.
std::wstring javaArgumentFileText(const std::wstring& classPath);

// Java 2 and later: quoted program, module opening for 9 and later, heap sizes in bytes,
// verbosity, switches, additional options, the class path by its route ("-classpath" with the
// quoted list, the quoted argument file after "@", or nothing), main class and the argument
// tail. The other two kinds give the class path the same way.
std::wstring j2vmCommandLine(const std::wstring& executable, const JVMVersion& version,
                             const JavaOptions& options);

// The 1.1 generation: `options.classPath` must already hold the VM's classes.zip; "-cp" for
// jre.exe and jrew.exe, "-classpath" for the others.
std::wstring j1vmCommandLine(const std::wstring& executable, const JavaOptions& options);

// The Microsoft VM: "/cp" with the quoted class path, main class and the argument tail.
std::wstring msjvmCommandLine(const std::wstring& executable, const JavaOptions& options);

} // namespace tarrow
