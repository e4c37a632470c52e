// KIV: the launcher object. Its construction loads and checks the configuration and prepares
// the process; run() chooses a Java VM, records the choice, starts the VM and waits for it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "CommandLine.h"
#include "LeftoverSweep.h"
#include "LaunchContext.h"
#include "PropertySet.h"
#include "UniqueHandle.h"
#include "VmJob.h"

namespace tarrow {

class JVM;
struct JavaOptions;

class KIV {
  public:
    // Locates, reads and validates the properties file (TerminalError 102 or 104, or
    // FileException), reads "jvmspecs.properties" when present, moves the current directory to
    // the properties file's folder and sets up the console.
    explicit KIV(CommandLine commandLine);
    virtual ~KIV();
    KIV(const KIV&) = delete;
    KIV& operator=(const KIV&) = delete;

    // The launch. Raises TerminalError (101 when no VM is found, 103 when it cannot start).
    // With `wait` it returns after the VM has ended and its exit code has been collected.
    virtual void run(bool wait);
    virtual bool isService() const { return false; }

    const PropertySet& settings() const { return settings_; }
    const PropertySet& vmSpecSettings() const { return vmSpecSettings_; }
    const CommandLine& commandLine() const { return commandLine_; }
    DWORD vmExitCode() const { return vmExitCode_; }
    bool silent() const { return silent_; }
    void setSilent(bool silent) { silent_ = silent; }
    // The properties file's name, relative to the current directory (its folder).
    const std::wstring& propertiesPath() const { return propertiesPath_; }
    const std::wstring& startDirectory() const { return startDirectory_; }

  protected:
    // Called right after the VM process has started, before any wait.
    virtual void vmStarted(HANDLE process) { (void)process; }
    // Handle of the started VM process (null before the start); owned here.
    HANDLE vmProcess() const { return vmProcess_.get(); }
    // The job that holds the VM and every process it starts (empty where Windows refused one).
    const VmJob& vmJob() const { return vmJob_; }
    // Ends the life of the files made for the VM (the VM information file, the argument file or
    // the class-path jar) once the VM has ended: removed, unless a process of the VM's job still
    // runs (an application that restarted itself), which keeps them. Also called when the launch
    // fails before the VM runs.
    void discardVmFiles();
    // The chosen VM and the options it was started with; null before the VM has started.
    const JVM* chosenVm() const { return vm_.get(); }
    const JavaOptions* launchOptions() const { return options_.get(); }

  private:
    // Names the VM as the owner of its launch files from now on, so that a later launch's sweep
    // keeps them while the VM runs, whether or not this launcher still does.
    void handLaunchFilesToVm();
    void setUpConsole();
    // Waits for the VM, keeps its exit code and ends the life of its files.
    void waitForVm();
    // What the searches and the options builder need of this launch.
    LaunchContext launchContext() const;
    // Chooses the VM: the one named on the command line, else a search. Null when none.
    std::unique_ptr<JVM> chooseVm(const LaunchContext& launch, const JavaOptions& options);

    PropertySet settings_;
    PropertySet vmSpecSettings_;
    CommandLine commandLine_;
    std::unique_ptr<JVM> vm_;
    std::unique_ptr<JavaOptions> options_;
    std::wstring propertiesPath_;
    std::wstring vmSpecPropertiesPath_;
    bool vmSpecExists_ = false;
    VmJob vmJob_;
    UniqueHandle vmProcess_;
    // The sweep of earlier launches' leftovers, from the VM's start until it has ended.
    BackgroundSweep sweep_;
    DWORD vmExitCode_ = 0;
    std::wstring startDirectory_;
    bool silent_ = false;
};

} // namespace tarrow
