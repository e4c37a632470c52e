// JVMProbe: what can be learnt about a VM from nothing but the path of its program.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "JVM.h"
#include "JVMVersion.h"
#include "VersionResource.h"

namespace tarrow {

class JVMProbe {
  public:
    explicit JVMProbe(std::wstring programPath);

    // The VM home: the program's folder, or its parent when that folder's name holds "bin".
    std::wstring home() const;
    // MSJ for jview.exe/wjview.exe, JRE for jre.exe/jrew.exe, JDK when javac.exe lies beside
    // the program, else JRE. Looked at once.
    VMKind kind() const;
    // "Microsoft" for jview; else "IBM" when the version resource's company name says so,
    // otherwise "Sun".
    std::wstring vendor();
    // From the file version; else from the registry (system folders) or the folder layout.
    JVMVersion version();
    // The program's fixed file version, read once.
    bool fileVersion(std::array<WORD, 4>& words);

  private:
    std::wstring programFolder() const;
    std::wstring programName() const;
    JVMVersion registryVersion() const;
    JVMVersion layoutVersion();
    // The program's version resource, read on first use.
    const std::optional<VersionResource>& resource();

    std::wstring path_;
    mutable std::optional<VMKind> kind_;
    std::array<WORD, 4> fileVersion_ = {};
    bool noVersionResource_ = false;
    bool versionRead_ = false;
    std::optional<std::wstring> vendor_;
    bool resourceRead_ = false;
    std::optional<VersionResource> resource_;
};

} // namespace tarrow
