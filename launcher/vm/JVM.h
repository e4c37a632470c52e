// JVM: one Java VM on disk, and the three kinds of VM with their command lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "JVMVersion.h"
#include "JavaOptions.h"
#include "UniqueHandle.h"
#include "VMKind.h"

namespace tarrow {

class JVM {
  public:
    virtual ~JVM() = default;

    // Builds the command line and starts it in the options' working directory; with `wait`,
    // returns after it has ended. Raises TerminalError when the VM cannot be started.
    UniqueHandle launch(const JavaOptions& options, bool wait = false);
    // The full path of the VM program.
    virtual std::wstring executablePath() const = 0;
    // The command line launch() starts; may raise TerminalError (Microsoft VM too old).
    virtual std::wstring commandLine(JavaOptions options) const = 0;
    // An owned copy of this description.
    virtual std::unique_ptr<JVM> clone() const = 0;

    JVMVersion version;
    std::wstring home;
    std::wstring vendor;
    VMKind kind = VMKind::JRE;
    bool is64Bit = false;
    JavaOptions options; // the options the VM was found with; used for validation runs

  protected:
    // What a kind of VM needs of the launcher's environment before it starts (nothing by default).
    virtual void prepareEnvironment(const JavaOptions& options) const { (void)options; }
};

// Java 2 and later VMs (java.exe).
class J2VM : public JVM {
  public:
    std::unique_ptr<JVM> clone() const override { return std::make_unique<J2VM>(*this); }
    std::wstring executablePath() const override;
    std::wstring commandLine(JavaOptions options) const override;
};

// 1.1-generation VMs (jre.exe).
class J1VM : public JVM {
  public:
    std::unique_ptr<JVM> clone() const override { return std::make_unique<J1VM>(*this); }
    std::wstring executablePath() const override;
    std::wstring commandLine(JavaOptions options) const override;
};

// The Microsoft VM (jview.exe).
class MSJVM : public JVM {
  public:
    std::unique_ptr<JVM> clone() const override { return std::make_unique<MSJVM>(*this); }
    MSJVM();
    std::wstring executablePath() const override;
    // Raises TerminalError 101 when jview.exe's build is below options.msvmMinBuild.
    std::wstring commandLine(JavaOptions options) const override;

  protected:
    // The Microsoft VM also reads its class path from the environment.
    void prepareEnvironment(const JavaOptions& options) const override;
};

// True when the last component of `home` is "system32" or "syswow64" in any case.
bool isSystemFolder(const std::wstring& home);

} // namespace tarrow
