#include "VmPackStep.h"

#include <windows.h>

#include "BuildOptions.h"
#include "FileSystem.h"
#include "InstalledVmSearch.h"
#include "Reporter.h"
#include "Settings.h"
#include "StreamDigest.h"
#include "Trace.h"
#include "DescribedVmSearch.h"
#include "EarlyExtraction.h"
#include "PackProgress.h"
#include "Text.h"
#include "UrlText.h"
#include "VmPackDownload.h"
#include "VmPackExtraction.h"
#include "VmPackLock.h"

namespace tarrow {

namespace {

enum class Fallback { Listed, WithShortcut };

// The folder a pack is unpacked into, ending in "\", without creating it; empty when neither
// "Windows" nor "Windows_Pure_64_Bit" exists.
std::wstring vmFolder(const std::wstring& startDirectory) {
    if (exists(startDirectory + L"\\Windows"))
        return startDirectory + L"\\Windows\\resource\\jre\\";
    if (exists(startDirectory + L"\\Windows_Pure_64_Bit"))
        return startDirectory + L"\\Windows_Pure_64_Bit\\resource\\jre\\";
    return std::wstring();
}

// The VM program of an unpacked pack in `target`: bin\java.exe, or jre\bin\java.exe; empty when
// neither folder exists.
std::wstring unpackedVmProgram(const std::wstring& target) {
    if (exists(target + L"\\bin"))
        return normalise(target + L"\\bin\\java.exe");
    if (exists(target + L"\\jre\\bin"))
        return normalise(target + L"\\jre\\bin\\java.exe");
    return std::wstring();
}

// Where a pack comes from and the digests it must have.
struct PackSource {
    std::wstring url;
    bool md5Applicable;
    std::wstring md5;
    std::wstring sha256; // checked when not empty
};

class Step {
  public:
    Step(const LaunchContext& launch, InstalledVmSearch& installed, const JavaOptions& options)
        : launch_(launch), installed_(installed), options_(options),
          build_(BuildOptions::read(launch.vmSpecSettings)) {}

    std::unique_ptr<JVM> run() {
        trace(L"build option \"" + build_.option + L"\", with-VM search option " +
              decimal(build_.withVmSearchOption) + L", without-VM search option " +
              decimal(build_.withoutVmSearchOption) +
              (build_.specSearch() ? L", VM specification files" : L""));
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
            return download({build_.notFoundUrl, build_.notFoundChecksumApplicable,
                             build_.notFoundChecksum, build_.notFoundSha256});
        case kDownloadOnly:
            return download({build_.directUrl, build_.directChecksumApplicable,
                             build_.directChecksum, build_.directSha256});
        default:
            return nullptr;
        }
    }

    // The search S: the specification files when they apply, else the given search.
    std::unique_ptr<JVM> search(Fallback fallback) {
        if (build_.specSearch()) {
            return findDescribedVm(build_.jvmSpecFiles, launcherPlatform(launch_.settings),
                                   options_,
                                   settings::verifyTimeoutSeconds(launch_.settings) * 1000);
        }
        return fallback == Fallback::Listed ? installed_.findListed(options_)
                                            : installed_.find(options_);
    }

    std::unique_ptr<JVM> shipped() {
        return describeVM(shippedVmExecutable(launch_.startDirectory), options_);
    }

    void say(const char* text) const { Reporter(launch_.silent).say("%s", text); }

    // Whether the pack's digest, `computed` as it was downloaded, is the expected one, with the
    // messages of the checksum step. A pack whose digest failed never passes, whatever the
    // expected value.
    bool verified(const std::wstring& computed, DigestKind kind,
                  const std::wstring& expected) const {
        const char* name = kind == DigestKind::Sha256 ? "SHA-256" : "MD5";
        Reporter out(launch_.silent);
        out.say("\nVerifying the downloaded JVM with %s checksum specified\n", name);
        packProgress().next(PackPhase::Checksum); // computed as the pack arrived: at its end
        if (!computed.empty())
            Reporter::always().say("\n");
        trace(std::wstring(kind == DigestKind::Sha256 ? L"SHA-256" : L"MD5") + L" expected " +
              expected + L", computed " + computed);
        // SHA-256 values are compared without regard to case; MD5 values exactly.
        const bool same = kind == DigestKind::Sha256 ? equalsIgnoreCase(computed, trim(expected))
                                                     : computed == expected;
        if (computed.empty() || !same) {
            out.say("Warning!! %s checksum verification for downloaded JVM failed. Installer "
                    "exiting...",
                    name);
            return false;
        }
        out.say("%s checksum verification for downloaded JVM passed", name);
        return true;
    }

    // The end of a pack step that did not give a VM. One that the user cancelled leaves neither
    // the pack nor the scratch folder; the launch then ends without an error message (Main.cpp).
    static std::unique_ptr<JVM> failed(const std::wstring& pack) {
        if (packProgress().cancelRequested()) {
            DeleteFileW(pack.c_str());
            removeScratchFolder(pack);
        }
        return nullptr;
    }

    std::unique_ptr<JVM> download(const PackSource& source) {
        const std::wstring& url = source.url;
        if (!isVmPackUrl(url)) {
            say("\nThe file specified is not a valid VM pack\n");
            return nullptr;
        }
        const std::wstring start = launch_.startDirectory;
        // Held until the VM is in place, so that two launches never install into one folder
        // at once; the one that waited takes the VM the other installed.
        const std::wstring folder = vmFolder(start);
        const VmPackLock lock(start, folder);
        const std::wstring installed =
            lock.replacedWhileWaiting() ? unpackedVmProgram(folder) : std::wstring();
        if (!installed.empty())
            return describeVM(installed, options_);
        const std::wstring destination = downloadDestination(start, packFileName(url));
        const PackDisplayScope display(launch_.settings);
        DownloadSettings settings;
        settings.silent = launch_.silent;
        settings.md5 = source.md5Applicable;
        settings.sha256 = !source.sha256.empty();
        // The VM's entries are written beside its folder as they arrive; nothing of them moves
        // into place before the pack has been checked whole.
        PackArrival arrival;
        settings.arrival = &arrival;
        // Only under the lock: another launch's pack step writes the same folder.
        EarlyExtraction early(destination,
                              folder.empty() || !lock.held()
                                  ? std::wstring()
                                  : folder.substr(0, folder.size() - 1) + L".new",
                              arrival);
        // Held from the download to the end of the extraction: what is unpacked is what was
        // digested.
        DownloadedPack pack = downloadVmPack(url, destination, settings);
        arrival.end();
        if (!pack.file)
            return failed(destination);
        const bool plain = startsWith(toLower(url), L"http:") || startsWith(toLower(url), L"ftp:");
        if (plain && !source.md5Applicable && source.sha256.empty())
            trace(L"VM pack " + url +
                  L" came over an unencrypted connection with no checksum: "
                  L"unverified");
        // With both digests configured, both must match.
        if ((settings.md5 &&
             !verified(pack.digest(DigestKind::Md5).text(), DigestKind::Md5, source.md5)) ||
            (settings.sha256 && !verified(pack.digest(DigestKind::Sha256).text(),
                                          DigestKind::Sha256, source.sha256))) {
            pack.file.reset();
            return failed(destination);
        }
        say("\nExtracting VM Pack. Please wait!!!\n");
        const std::wstring target = extractionTarget(start);
        const bool extracted = extractVmPack(destination, target, &early.finish());
        trace(L"VM pack " + destination +
              (extracted ? L" extracted into " : L" not extracted into ") + target);
        pack.file.reset();
        if (!extracted) {
            say("\nCould not extract the downloaded VM pack. Installer exiting...");
            DeleteFileW(destination.c_str());
            return failed(destination);
        }
        say("\nExtracted the JVM pack successfully!!\n");
        // A cancel that came once the VM was whole in place still ends the launch: the VM stays
        // installed for the next one.
        if (packProgress().cancelRequested())
            return failed(destination);
        return describeVM(unpackedVmProgram(target), options_);
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
    const std::wstring target = vmFolder(startDirectory);
    if (!target.empty() && !exists(target))
        CreateDirectoryW(target.c_str(), nullptr);
    return target;
}

} // namespace tarrow
