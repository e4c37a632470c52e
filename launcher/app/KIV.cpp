#include "KIV.h"

#include <optional>

#include "Console.h"
#include "CurrentVm.h"
#include "Environment.h"
#include "Errors.h"
#include "FileSystem.h"
#include "JVM.h"
#include "JavaOptionsBuilder.h"
#include "InstalledVmSearch.h"
#include "LeftoverSweep.h"
#include "OwnerProcess.h"
#include "PathString.h"
#include "PeImage.h"
#include "ProgramPath.h"
#include "PropertiesFile.h"
#include "ShippedLibraries.h"
#include "Settings.h"
#include "StringTable.h"
#include "Text.h"
#include "Trace.h"
#include "VmInfoFile.h"
#include "VmPackStep.h"
#include "VmProcess.h"

namespace tarrow {

namespace {

constexpr DWORD kUnknownExitCode = 1;

// Runs an action when the scope is left early, unless dismissed.
template <typename Action> class UnlessDismissed {
  public:
    explicit UnlessDismissed(Action action) : action_(std::move(action)) {}
    ~UnlessDismissed() {
        if (!dismissed_)
            action_();
    }
    UnlessDismissed(const UnlessDismissed&) = delete;
    UnlessDismissed& operator=(const UnlessDismissed&) = delete;
    void dismiss() { dismissed_ = true; }

  private:
    Action action_;
    bool dismissed_ = false;
};

} // namespace

KIV::KIV(CommandLine commandLine) : commandLine_(std::move(commandLine)) {
    const std::wstring program = programPath(commandLine_);
    propertiesPath_ = locatePropertiesFile(program);
    readProperties(propertiesPath_, settings_);
    silent_ = settings::silentByDefault(settings_);
    if (!settings::areComplete(settings_, getVariable(L"CLASSPATH")))
        throw TerminalError(getString(kPropertiesInvalid));

    vmSpecPropertiesPath_ = vmSpecPropertiesPath(program);
    vmSpecExists_ = !vmSpecPropertiesPath_.empty() && exists(vmSpecPropertiesPath_);
    if (vmSpecExists_)
        readProperties(vmSpecPropertiesPath_, vmSpecSettings_);

    startDirectory_ = currentDirectory();
    changeDirectory(containingFolder(propertiesPath_));
    propertiesPath_ = fileName(normalise(propertiesPath_));
    setUpConsole();
}

KIV::~KIV() = default;

void KIV::discardVmFiles() {
    // An application that started another instance of itself (or anything else that stays in
    // its job) keeps its files while that runs: their owner records name one such process, which
    // later launches' sweeps ask about.
    const std::optional<DWORD> remaining = vmJob_.runningProcess();
    const bool stillNeeded = remaining.has_value();
    std::optional<LaunchOwner> heir;
    if (stillNeeded) {
        trace(L"a process the VM started still runs in its job: the launch files stay");
        if (*remaining != VmJob::kUnlistedProcess)
            heir = launchOwnerOf(*remaining);
    }
    if (vm_)
        vm_->discardLaunchFiles(stillNeeded, heir);
    discardVmInfoFile(stillNeeded, heir);
}

void KIV::handLaunchFilesToVm() {
    const std::optional<LaunchOwner> owner = launchOwnerOf(GetProcessId(vmProcess_.get()));
    if (!owner)
        return;
    vm_->recordLaunchFilesOwner(*owner);
    recordVmInfoFileOwner(*owner);
}

void KIV::setUpConsole() {
    const bool controlHeld = !console().windowless() && GetKeyState(VK_CONTROL) < 0;
    console().setTitle(settings::applicationName(settings_));
    if (controlHeld)
        appendVmInfo({L"kiv.control-key=true", L"kiv.stderr.redirect=console",
                      L"kiv.stdout.redirect=console"});
}

LaunchContext KIV::launchContext() const {
    return LaunchContext{settings_,       vmSpecSettings_, commandLine_, propertiesPath_,
                         startDirectory_, silent_,         isService()};
}

std::unique_ptr<JVM> KIV::chooseVm(const LaunchContext& launch, const JavaOptions& options) {
    // A program named on the command line is used without any search; an empty file cannot be
    // a VM program, so it leaves the choice to the search (which then takes the recorded VM).
    const std::wstring named = normalise(commandLine_.vmArgument());
    if (!named.empty() && isNonEmptyFile(named)) {
        trace(L"candidate " + named + L" named on the command line: accepted without search");
        return describeVM(named, options);
    }
    InstalledVmSearch search(launch);
    if (!vmSpecExists_)
        return search.find(options);
    return vmPackStep(launch, search, options);
}

void KIV::run(bool wait) {
    // A launch that fails before its VM runs leaves no file behind.
    UnlessDismissed failed([this] { discardVmFiles(); });
    const LaunchContext launch = launchContext();
    const JavaOptions options = buildJavaOptions(launch);
    trace(L"settings: valid VM list \"" + settings::validVmList(settings_) + L"\", recorded VM \"" +
          settings::currentVm(settings_) + L"\", platform " +
          settings::launcherPlatform(settings_) +
          (vmSpecExists_ ? L", build options from jvmspecs.properties" : L""));
    vm_ = chooseVm(launch, options);
    if (!vm_) {
        trace(L"no VM chosen");
        throw TerminalError(getString(kNoValidVm));
    }
    trace(L"chosen " + vm_->summary());
    if (tracing())
        traceShippedLibraryMismatch(*vm_, containingFolder(runningProgramPath()));
    recordCurrentVM(*vm_);
    vmJob_ = VmJob::create();
    // From the VM's start on, the console's control events are the VM's to answer.
    std::optional<ControlEventsLeftToChild> events;
    if (wait)
        events.emplace();
    vmProcess_ = vm_->launch(options, false, &vmJob_);
    failed.dismiss();
    // A Windows-subsystem VM is not attached to the console: it outlives a closed console and
    // the launcher with it, so its launch files are kept for it from now on.
    if (events && isWindowsSubsystemImage(vm_->executablePath())) {
        events->releaseOnClose(vmJob_);
        handLaunchFilesToVm();
    }
    options_ = std::make_unique<JavaOptions>(options);
    vmStarted(vmProcess_.get());
    // While the VM starts up and runs, what earlier launches could not remove goes.
    sweep_.start();
    if (wait)
        waitForVm();
}

void KIV::waitForVm() {
    // An exit code that cannot be learned is never reported as success.
    const std::optional<DWORD> code = waitForExitCode(vmProcess_.get());
    sweep_.finish();
    trace(code ? L"VM exit code " + decimal(*code) : L"VM exit code unknown");
    vmExitCode_ = code.value_or(kUnknownExitCode);
    // What the application started on purpose to outlive it (an updater, a relaunch) keeps
    // running once the launcher exits.
    vmJob_.keepProcessesOnClose();
    discardVmFiles();
}

} // namespace tarrow
