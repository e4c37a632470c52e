#include "DescribedVmSearch.h"

#include <windows.h>

#include <vector>

#include "CandidateOrder.h"
#include "Errors.h"
#include "FileSystem.h"
#include "InstalledVmSearch.h"
#include "PathString.h"
#include "Registry.h"
#include "Settings.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"
#include "Validation.h"

namespace tarrow {

namespace {

constexpr DWORD kHintValueBytes = 508;

struct Found {
    std::vector<std::unique_ptr<JVM>> vms32;
    std::vector<std::unique_ptr<JVM>> vms64;
};

// What confirming a candidate of one specification file needs.
struct Confirmation {
    const VmDescription& spec;
    std::wstring baseFolder;
    const JavaOptions& options;
    unsigned long verifyTimeoutMs;
};

void confirm(const std::wstring& program, const Confirmation& with, Found& found,
             const std::wstring& hint) {
    if (!exists(program) || isDirectory(program)) {
        trace(L"candidate " + program + L" from hint \"" + hint + L"\": no such program");
        return;
    }
    trace(L"candidate " + program + L" from hint \"" + hint + L"\"");
    // The probe runs with the options for the VM's version, which only a description learns;
    // without such options the VM is described once it is confirmed, as it always was.
    std::unique_ptr<JVM> vm =
        with.options.versionOptions.empty() ? nullptr : describeVM(program, with.options);
    const std::wstring vmOptions = vm ? vm->versionOptionsFor(with.options) : std::wstring();
    if (!verifyProperties(program, with.spec.jvmProperties(), with.baseFolder, with.verifyTimeoutMs,
                          vmOptions))
        return;
    if (!vm)
        vm = describeVM(program, with.options);
    trace(L"confirmed " + vm->summary());
    // This search has always listed what it confirms as 32-bit, whatever the image.
    found.vms32.push_back(std::move(vm));
}

std::wstring registryHintValue(const std::wstring& hint) {
    HKEY root = parseRegistryRoot(hint);
    const RegistryHintParts parts = splitRegistryHint(hint);
    UniqueRegistryKey key;
    if (RegOpenKeyExW(root, parts.keyPath.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) !=
            ERROR_SUCCESS &&
        RegOpenKeyExW(root, parts.keyPath.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, key.put()) !=
            ERROR_SUCCESS)
        return std::wstring();
    BYTE data[kHintValueBytes + sizeof(wchar_t)] = {};
    DWORD size = kHintValueBytes;
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), parts.valueName.c_str(), nullptr, &type, data, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(data));
}

// The reference location of relative path hints: the content of "sea_loc" in the folder above
// the working directory, without a trailing line break.
std::wstring referenceLocation(const JavaOptions& options) {
    const std::wstring file = parent(options.workingDirectory, L".") + L"\\sea_loc";
    FILE* raw = _wfopen(file.c_str(), L"rb");
    if (!raw)
        return std::wstring();
    UniqueStdioFile stream(raw);
    std::string bytes = readAll(stream.get());
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    std::wstring location = fromUtf8(bytes);
    while (!location.empty() && (location.back() == L'\n' || location.back() == L'\r'))
        location.pop_back();
    return location;
}

void searchPathHint(const std::wstring& hint, const Confirmation& with, Found& found) {
    const std::wstring& program = with.spec.jvmExe();
    if (pathHintLevels(hint) >= 1) {
        const std::wstring folder = relativeHintFolder(referenceLocation(with.options), hint);
        confirm(folder + L"\\" + program, with, found, hint);
        return;
    }
    const DWORD drives = GetLogicalDrives();
    if (drives == 0)
        throw TerminalError(L"Could not get the logical drives for the windows system");
    for (int bit = 0; bit < 26; ++bit) {
        if (!(drives & (1u << bit)))
            continue;
        const std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
        if (GetDriveTypeW((drive + L"\\").c_str()) == DRIVE_FIXED)
            confirm(drive + L"\\" + hint + L"\\" + program, with, found, hint);
    }
}

std::unique_ptr<JVM> choose(Found& found, long long platform) {
    auto first = [](std::vector<std::unique_ptr<JVM>>& list) {
        return list.empty() ? nullptr : std::move(list.front());
    };
    switch (platform) {
    case kBoth64BitFirst: {
        auto vm = first(found.vms64);
        return vm ? std::move(vm) : first(found.vms32);
    }
    case kBoth32BitFirst: {
        auto vm = first(found.vms32);
        return vm ? std::move(vm) : first(found.vms64);
    }
    case kOnly64Bit:
        return first(found.vms64);
    case kOnly32Bit:
        return first(found.vms32);
    default:
        return nullptr;
    }
}

} // namespace

void readVmDescription(const std::wstring& path, VmDescription& spec) {
    UniqueStdioFile stream = openForRead(path);
    spec.parse(readAll(stream.get()));
}

std::unique_ptr<JVM> findDescribedVm(const std::vector<std::wstring>& fileNames, long long platform,
                                     const JavaOptions& options, unsigned long verifyTimeoutMs) {
    Found found;
    VmDescription spec;
    for (const auto& name : fileNames) {
        const std::wstring file = L"jvmspecs\\" + name;
        trace(L"VM specification file " + file);
        readVmDescription(file, spec);
        const Confirmation with = {spec, fullPath(parent(file, L"."), {false, true}), options,
                                   verifyTimeoutMs};
        for (const auto& hint : spec.registryHints()) {
            const std::wstring home = registryHintValue(hint);
            if (!home.empty())
                confirm(home + L"\\" + spec.jvmExe(), with, found, hint);
            else
                trace(L"registry hint \"" + hint + L"\" names no value");
        }
        for (const auto& hint : spec.pathHints())
            searchPathHint(hint, with, found);
    }
    return choose(found, platform);
}

} // namespace tarrow
