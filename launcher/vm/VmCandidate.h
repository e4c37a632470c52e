// How the installed-VM search describes a VM it has found, wherever it was announced: the
// JavaSoft and IBM keys, the vendor and per-user keys, the PATH or JAVA_HOME. One rule for each
// fact: a home is kept without trailing separators, and the program image alone says whether
// the VM is a 64-bit one.
#pragma once

#include <memory>
#include <string>

#include "JVM.h"

namespace tarrow {

// A home folder as the searches keep it: without trailing "\" (a drive's root keeps its own),
// so that "C:\jre8\" and "C:\jre8" name one home and one program.
std::wstring homeFolder(std::wstring folder);

// Reads the architecture of the VM's program into `architecture`; the VM runs as a 64-bit one on
// 64-bit Windows when its image is an x64 or ARM64 one. Neither the registry view nor the place
// that named the VM decides.
void readArchitecture(JVM& vm, bool sees64Bit);

// A VM whose registry entry states its version, home, kind and vendor: a J1VM below version 2,
// else a J2VM; its bitness is its program's.
std::unique_ptr<JVM> registeredVm(const JVMVersion& version, const std::wstring& home, VMKind kind,
                                  const std::wstring& vendor, bool sees64Bit);

// A VM described by the probe of its program: an MSJVM for jview.exe, else a J1VM below version
// 2, else a J2VM, with home, kind, vendor and version from the probe; its bitness is the
// program's.
std::unique_ptr<JVM> probedVm(const std::wstring& program, bool sees64Bit);

} // namespace tarrow
