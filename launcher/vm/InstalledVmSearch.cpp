#include "InstalledVmSearch.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <vector>

#include "CandidateOrder.h"
#include "Environment.h"
#include "Errors.h"
#include "FileSystem.h"
#include "InsertionSort.h"
#include "JVMProbe.h"
#include "MoreVmSearch.h"
#include "OptionText.h"
#include "PathString.h"
#include "Platform.h"
#include "Registry.h"
#include "ReparsePoint.h"
#include "Settings.h"
#include "SystemLibrary.h"
#include "Text.h"
#include "Tokenizer.h"
#include "Trace.h"
#include "Validation.h"
#include "ValidListToken.h"
#include "VmCandidate.h"

namespace tarrow {

namespace {

using Candidates = std::vector<std::unique_ptr<JVM>>;

struct RegisteredVmKey {
    const wchar_t* path;
    const wchar_t* vendor;
    VMKind kind;
};

const RegisteredVmKey kRegisteredVmKeys[] = {
    {L"SOFTWARE\\JavaSoft\\JDK", L"Sun", VMKind::JDK},
    {L"SOFTWARE\\JavaSoft\\JRE", L"Sun", VMKind::JRE},
    {L"SOFTWARE\\JavaSoft\\Java Development Kit", L"Sun", VMKind::JDK},
    {L"SOFTWARE\\JavaSoft\\Java Runtime Environment", L"Sun", VMKind::JRE},
    {L"SOFTWARE\\IBM\\Java2 Runtime Environment", L"IBM", VMKind::JRE},
    {L"SOFTWARE\\IBM\\Java Development Kit", L"IBM", VMKind::JDK},
};

const wchar_t* const kPathProgramNames[] = {L"\\java.exe", L"\\jre.exe", L"\\javaw.exe",
                                            L"\\jrew.exe", L"\\jview.exe"};

// One registered version: its subkey names the version, "MicroVersion" refines it for
// versions before 9, "JavaHome" is its home.
std::unique_ptr<JVM> registeredRelease(const RegistryKey& key, const std::wstring& name,
                                       const RegisteredVmKey& entry, const RegistryView& view,
                                       bool sees64Bit) {
    RegistryKey release(key, name, KEY_READ | view.flag);
    JVMVersion version = parseVersion(name);
    if (version.major() < 9)
        version.setMinor(static_cast<int>(
            std::wcstol(release.readString(L"MicroVersion").c_str(), nullptr, 10)));
    else
        version.setMinor(0);
    std::unique_ptr<JVM> vm =
        registeredVm(version, release.readString(L"JavaHome"), entry.kind, entry.vendor, sees64Bit);
    trace(L"candidate " + vm->summary() + L" from registry key " + entry.path + L"\\" + name +
          L" (" + view.name + L")");
    return vm;
}

void scanRegistryKey(Candidates& list, const RegisteredVmKey& entry, const RegistryView& view,
                     bool sees64Bit) {
    std::vector<std::wstring> names;
    std::unique_ptr<RegistryKey> key;
    try {
        key = std::make_unique<RegistryKey>(entry.path, KEY_READ | view.flag);
        names = key->subkeyNames();
    } catch (const RegistryException&) {
        return;
    }
    for (const auto& name : names) {
        try {
            list.push_back(registeredRelease(*key, name, entry, view, sees64Bit));
        } catch (const RegistryException&) {
            // A version whose values cannot be read is skipped.
        }
    }
}

std::vector<std::wstring> programsOnPath(bool sees64Bit) {
    std::vector<std::wstring> folders;
    for (const auto& entry : searchPath())
        folders.push_back(entry);
    if (sees64Bit) {
        const std::wstring wow64 = systemWow64Folder();
        if (!wow64.empty())
            folders.push_back(wow64);
    }
    std::vector<std::wstring> programs;
    for (const auto& folder : folders) {
        for (const wchar_t* name : kPathProgramNames) {
            const std::wstring path = homeFolder(folder) + name;
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            programs.push_back(
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? resolveReparsePoint(path) : path);
        }
    }
    return programs;
}

void removeDuplicates(Candidates& list) {
    Candidates unique;
    for (auto& candidate : list) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const auto& kept) {
            return kept->home == candidate->home && kept->version == candidate->version;
        });
        if (!seen)
            unique.push_back(std::move(candidate));
        else
            trace(L"candidate " + candidate->executablePath() +
                  L": same home and version as one "
                  L"before, dropped");
    }
    list.swap(unique);
}

template <typename Pointers> void sortCandidates(Pointers& list, long long platform) {
    insertionSort(list.begin(), list.end(), [platform](const auto& a, const auto& b) {
        return candidateBefore(a->is64Bit, a->version, b->is64Bit, b->version, platform);
    });
}

Candidates buildCandidates(long long platform, bool moreVms) {
    Candidates list;
    const bool sees64Bit = sees64BitWindows();
    for (const RegistryView& view : machineRegistryViews(sees64Bit)) {
        for (const auto& entry : kRegisteredVmKeys)
            scanRegistryKey(list, entry, view, sees64Bit);
    }
    if (moreVms) {
        for (auto& vm : findMoreVms(sees64Bit))
            list.push_back(std::move(vm));
    }
    for (const auto& program : programsOnPath(sees64Bit)) {
        list.push_back(probedVm(program, sees64Bit));
        trace(L"candidate " + list.back()->summary() + L" from PATH program " + program);
    }
    removeDuplicates(list);
    sortCandidates(list, platform);
    return list;
}

} // namespace

std::unique_ptr<JVM> describeVM(const std::wstring& program, const JavaOptions& options) {
    JVMProbe probe(program);
    auto vm = std::make_unique<J2VM>();
    vm->version = probe.version();
    vm->home = probe.home();
    vm->kind = probe.kind();
    vm->vendor = probe.vendor();
    vm->options = options;
    readArchitecture(*vm, sees64BitWindows());
    return vm;
}

bool acceptsToken(JVM& vm, const std::wstring& token) {
    const ValidListToken parsed = parseValidListToken(token);
    if (!parsed.validator.empty() && !runValidator(vm, parsed.validator))
        return false;
    return tokenAcceptsKindAndVersion(parsed, vm.kind, vm.version);
}

long long launcherPlatform(const PropertySet& settings) {
    return readSize(settings::launcherPlatform(settings));
}

InstalledVmSearch::InstalledVmSearch(const LaunchContext& launch) : launch_(launch) {}

InstalledVmSearch::~InstalledVmSearch() = default;

Candidates& InstalledVmSearch::candidates(long long platform) {
    if (!candidates_) {
        candidates_ = buildCandidates(platform, settings::searchMoreVms(launch_.settings));
        trace(L"installed-VM search: " + decimal(static_cast<long long>(candidates_->size())) +
              L" candidates in the registry and on the PATH");
    }
    return *candidates_;
}

std::unique_ptr<JVM> InstalledVmSearch::find(const JavaOptions& options) {
    const std::wstring named = launch_.commandLine.vmArgument();
    const std::wstring recorded = settings::currentVm(launch_.settings);
    const bool namedIsFile = exists(named) && !isDirectory(named);
    if (!recorded.empty() || namedIsFile) {
        std::wstring program = named;
        if (!isNonEmptyFile(named)) {
            const std::wstring joined =
                isAbsolute(recorded) ? recorded : propertiesFolder(launch_) + L"\\" + recorded;
            program = fullPath(joined, {false, true});
        }
        if (exists(program) && !isDirectory(program)) {
            trace(L"candidate " + program +
                  (program == named ? L" named on the command line"
                                    : L" recorded as the current VM") +
                  L": accepted without search");
            return describeVM(program, options);
        }
        trace(L"recorded VM " + program + L" is no program: searching");
    }
    return findListed(options);
}

std::unique_ptr<JVM> InstalledVmSearch::findListed(const JavaOptions& options) {
    const long long platform = launcherPlatform(launch_.settings);
    Candidates& list = candidates(platform);
    std::vector<JVM*> taken;
    std::map<const JVM*, std::wstring> verdicts; // for the trace
    for (const auto& token : tokenize(settings::validVmList(launch_.settings), L" ")) {
        for (auto& candidate : list) {
            candidate->options = options;
            std::wstring& verdict = verdicts[candidate.get()];
            if (!acceptsToken(*candidate, token)) {
                verdict += L" rejected by \"" + token + L"\";";
                continue;
            }
            if (!platformAccepts(platform, candidate->is64Bit)) {
                verdict += L" accepted by \"" + token +
                           L"\" but of the wrong bitness for platform " + decimal(platform) + L";";
                continue;
            }
            verdict += L" accepted by \"" + token + L"\";";
            if (std::find(taken.begin(), taken.end(), candidate.get()) == taken.end())
                taken.push_back(candidate.get());
        }
    }
    for (const auto& candidate : list)
        trace(L"verdict on " + candidate->executablePath() + L":" + verdicts[candidate.get()]);
    if (taken.empty())
        return nullptr;
    sortCandidates(taken, platform);
    return taken.back()->clone();
}

} // namespace tarrow
