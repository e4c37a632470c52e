#include "VmPackStep.h"

#include <windows.h>

#include "BuildOptions.h"
#include "FileChecksum.h"
#include "FileSystem.h"
#include "InstalledVmSearch.h"
#include "Reporter.h"
#include "DescribedVmSearch.h"
#include "UrlText.h"
#include "VmPackDownload.h"
#include "VmPackExtraction.h"

namespace tarrow {

namespace {

enum class Fallback { Listed, WithShortcut };

class Step {
  public:
    Step(const LaunchContext& launch, InstalledVmSearch& installed, const JavaOptions& options)
        : launch_(launch), installed_(installed), options_(options),
          build_(BuildOptions::read(launch.vmSpecSettings)) {}

    std::unique_ptr<JVM> run() {
        if (build_.option == L"withvm")
            return withVm();
        if (build_.option == L"withoutvm")
            return withoutVm();
        return nullptr;
    }

  private:
    std::unique_ptr<JVM> withVm() {
        if (build_.withVmSearchOption == kSearchThenShippedVm) {
            if (auto vm = search(Fallback::Listed))
                return vm;
            return shipped();
        }
        if (build_.withVmSearchOption == kShippedVmOnly)
            return shipped();
        return nullptr;
    }

    std::unique_ptr<JVM> withoutVm() {
        switch (build_.withoutVmSearchOption) {
        case kSearchOnly:
            return search(Fallback::WithShortcut);
        case kSearchThenDownload:
            if (auto vm = search(Fallback::WithShortcut))
                return vm;
            return download(build_.notFoundUrl, build_.notFoundChecksumApplicable,
                            build_.notFoundChecksum);
        case kDownloadOnly:
            return download(build_.directUrl, build_.directChecksumApplicable,
                            build_.directChecksum);
        default:
            return nullptr;
        }
    }

    // The search S: the specification files when they apply, else the given search.
    std::unique_ptr<JVM> search(Fallback fallback) {
        if (build_.specSearch()) {
            return findDescribedVm(build_.jvmSpecFiles, launcherPlatform(launch_.settings),
                                   options_);
        }
        return fallback == Fallback::Listed ? installed_.findListed(options_)
                                            : installed_.find(options_);
    }

    std::unique_ptr<JVM> shipped() {
        return describeVM(shippedVmExecutable(launch_.startDirectory), options_);
    }

    void say(const char* text) const { Reporter(launch_.silent).say("%s", text); }

    std::unique_ptr<JVM> download(const std::wstring& url, bool checksumApplicable,
                                  const std::wstring& expected) {
        if (!isVmPackUrl(url)) {
            say("\nThe file specified is not a valid VM pack\n");
            return nullptr;
        }
        const std::wstring start = launch_.startDirectory;
        const std::wstring destination = downloadDestination(start, packFileName(url));
        DownloadSettings settings;
        settings.silent = launch_.silent;
        if (!downloadVmPack(url, destination, settings))
            return nullptr;
        if (checksumApplicable) {
            say("\nVerifying the downloaded JVM with MD5 checksum specified\n");
            const std::wstring computed = fileMd5(destination);
            // A file that cannot be hashed never passes, whatever the expected value.
            if (computed.empty() || computed != expected) {
                say("Warning!! MD5 checksum verification for downloaded JVM failed. Installer "
                    "exiting...");
                return nullptr;
            }
            say("MD5 checksum verification for downloaded JVM passed");
        }
        say("\nExtracting VM Pack. Please wait!!!\n");
        const std::wstring target = extractionTarget(start);
        if (!extractVmPack(destination, target)) {
            say("\nCould not extract the downloaded VM pack. Installer exiting...");
            DeleteFileW(destination.c_str());
            return nullptr;
        }
        say("\nExtracted the JVM pack successfully!!\n");
        std::wstring program;
        if (exists(target + L"\\bin"))
            program = normalise(target + L"\\bin\\java.exe");
        else if (exists(target + L"\\jre\\bin"))
            program = normalise(target + L"\\jre\\bin\\java.exe");
        return describeVM(program, options_);
    }

    const LaunchContext& launch_;
    InstalledVmSearch& installed_;
    const JavaOptions& options_;
    const BuildOptions build_;
};

} // namespace

std::unique_ptr<JVM> vmPackStep(const LaunchContext& launch, InstalledVmSearch& search,
                                const JavaOptions& options) {
    return Step(launch, search, options).run();
}

std::wstring shippedVmExecutable(const std::wstring& startDirectory) {
    for (const wchar_t* relative : {L"\\Windows\\resource\\jre\\bin\\java.exe",
                                    L"\\Windows\\resource\\jre\\jre\\bin\\java.exe",
                                    L"\\Windows_Pure_64_Bit\\resource\\jre\\bin\\java.exe",
                                    L"\\Windows_Pure_64_Bit\\resource\\jre\\jre\\bin\\java.exe"}) {
        const std::wstring candidate = startDirectory + relative;
        if (exists(candidate))
            return candidate;
    }
    return std::wstring();
}

std::wstring downloadDestination(const std::wstring& startDirectory, const std::wstring& fileName) {
    for (const wchar_t* folder : {L"\\Windows\\jvmspecs", L"\\Windows_Pure_64_Bit\\jvmspecs"}) {
        const std::wstring candidate = startDirectory + folder;
        if (exists(candidate))
            return candidate + fileName;
    }
    return std::wstring();
}

std::wstring extractionTarget(const std::wstring& startDirectory) {
    std::wstring target;
    if (exists(startDirectory + L"\\Windows"))
        target = startDirectory + L"\\Windows\\resource\\jre\\";
    else if (exists(startDirectory + L"\\Windows_Pure_64_Bit"))
        target = startDirectory + L"\\Windows_Pure_64_Bit\\resource\\jre\\";
    if (!target.empty() && !exists(target))
        CreateDirectoryW(target.c_str(), nullptr);
    return target;
}

} // namespace tarrow
