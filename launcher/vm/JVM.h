// JVM: one Java VM on disk, and the three kinds of VM with their command lines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ImageArchitecture.h"
#include "JVMVersion.h"
#include "JavaOptions.h"
#include "TemporaryFile.h"
#include "UniqueHandle.h"
#include "VMKind.h"
#include "VmJob.h"

namespace tarrow {

class JVM {
  public:
    virtual ~JVM() = default;

    // Builds the command line and starts it in the options' working directory; with `wait`,
    // returns after it has ended. A command line too long to pass gets its class path through
    // an argument file, the environment or a class-path jar instead (the VM receives the same
    // entries); only when none fits, TerminalError 103 with error 206. Raises TerminalError when
    // the VM cannot be started. With a `job`, the VM joins it before it runs (startProcess).
    UniqueHandle launch(const JavaOptions& options, bool wait = false, const VmJob* job = nullptr);
    // Ends the life of what the last launch left on disk (the argument file or the class-path
    // jar), once the VM has ended: removed, or with `keep` left on disk for a process that still
    // needs it (with an `heir`, recorded as the file's owner from now on). The owner's
    // destruction removes it too.
    void discardLaunchFiles(bool keep = false, const std::optional<LaunchOwner>& heir = {});
    // Names `owner` in the owner record of what the last launch left on disk, from now on.
    void recordLaunchFilesOwner(const LaunchOwner& owner);
    // The full path of the VM program.
    virtual std::wstring executablePath() const = 0;
    // The command line launch() starts; may raise TerminalError (Microsoft VM too old).
    virtual std::wstring commandLine(JavaOptions options) const = 0;
    // An owned copy of this description.
    virtual std::unique_ptr<JVM> clone() const = 0;
    // One line for the launch trace: program, home, kind, vendor, version, architecture and
    // bitness.
    std::wstring summary() const;
    // The options of `options.versionOptions` whose pattern accepts this VM's version, in
    // order, separated by spaces; none for a VM of unknown version. Traces each key's verdict.
    std::wstring versionOptionsFor(const JavaOptions& options) const;

    JVMVersion version;
    std::wstring home;
    std::wstring vendor;
    VMKind kind = VMKind::JRE;
    bool is64Bit = false;
    // The architecture of the VM program, once read.
    ImageArchitecture architecture = ImageArchitecture::NoImage;
    JavaOptions options; // the options the VM was found with; used for validation runs

  protected:
    // What a kind of VM needs of the launcher's environment before it starts: the class path
    // in CLASSPATH when it takes that route.
    virtual void prepareEnvironment(const JavaOptions& options) const;
    // Whether the VM reads Java argument files ("@file"): Java 9 and later.
    virtual bool readsArgumentFiles() const { return false; }
    // Whether the VM follows the "Class-Path" of a jar's manifest: Java 2 and later.
    virtual bool readsClassPathJars() const { return false; }

  private:
    // The options as this VM takes them: its version's options after the additional ones, and
    // heap shares in megabytes of physical memory for its bitness (read from its program).
    void fitOptions(JavaOptions& options) const;
    // The command line for a class path too long to pass on it; changes the route in
    // `options`.
    std::wstring shortenedCommandLine(JavaOptions& options);
    // Writes the class-path jar and returns the command line that names it; empty when an
    // entry has no URL form or the jar cannot be written.
    std::wstring classPathJarCommandLine(JavaOptions& options);

    // The argument file or class-path jar of the last launch, shared by copies of this
    // description, so that the file lives while any of them does.
    std::shared_ptr<TemporaryFile> launchFile_;
};

// Java 2 and later VMs (java.exe).
class J2VM : public JVM {
  public:
    std::unique_ptr<JVM> clone() const override { return std::make_unique<J2VM>(*this); }
    std::wstring executablePath() const override;
    std::wstring commandLine(JavaOptions options) const override;

  protected:
    bool readsArgumentFiles() const override { return version.major() >= 9; }
    bool readsClassPathJars() const override { return true; }
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
