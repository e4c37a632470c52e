#include "JVMProbe.h"

#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "Platform.h"
#include "Registry.h"
#include "Reporter.h"
#include "Text.h"
#include "VersionResource.h"

namespace tarrow {

namespace {

bool isJview(const std::wstring& name) {
    return name == L"jview.exe" || name == L"wjview.exe";
}

bool isJre(const std::wstring& name) {
    return name == L"jre.exe" || name == L"jrew.exe";
}

} // namespace

JVMProbe::JVMProbe(std::wstring programPath) : path_(std::move(programPath)) {}

std::wstring JVMProbe::programFolder() const {
    return parent(path_, L".");
}

std::wstring JVMProbe::programName() const {
    return fileName(path_, true);
}

std::wstring JVMProbe::home() const {
    const std::wstring folder = programFolder();
    if (contains(fileName(folder), L"bin"))
        return parent(folder, L".");
    return folder;
}

VMKind JVMProbe::kind() const {
    if (!kind_) {
        const std::wstring name = programName();
        if (isJview(name))
            kind_ = VMKind::MSJ;
        else if (isJre(name))
            kind_ = VMKind::JRE;
        else
            kind_ = exists(programFolder() + L"\\javac.exe") ? VMKind::JDK : VMKind::JRE;
    }
    return *kind_;
}

const std::optional<VersionResource>& JVMProbe::resource() {
    if (!resourceRead_) {
        resourceRead_ = true;
        resource_ = VersionResource::read(path_);
    }
    return resource_;
}

bool JVMProbe::fileVersion(std::array<WORD, 4>& words) {
    if (!versionRead_) {
        versionRead_ = true;
        const auto version = resource() ? resource()->fileVersion() : std::nullopt;
        noVersionResource_ = !version;
        if (version)
            fileVersion_ = *version;
    }
    if (noVersionResource_)
        return false;
    words = fileVersion_;
    return true;
}

std::wstring JVMProbe::vendor() {
    if (vendor_)
        return *vendor_;
    if (isJview(programName())) {
        vendor_ = L"Microsoft";
        return *vendor_;
    }
    const auto company = resource() ? resource()->string(L"CompanyName") : std::nullopt;
    if (company)
        Reporter::always().sayWide(L"company: " + *company + L"\n");
    vendor_ = company && contains(toLower(*company), L"ibm") ? L"IBM" : L"Sun";
    return *vendor_;
}

JVMVersion JVMProbe::version() {
    std::array<WORD, 4> w;
    const VMKind vmKind = kind();
    if (vmKind != VMKind::MSJ && fileVersion(w))
        return versionFromFileVersion(w, vendor() == L"Sun");
    if (vmKind == VMKind::MSJ)
        return JVMVersion(1, 4, 0);
    if (isSystemFolder(home()))
        return registryVersion();
    return layoutVersion();
}

JVMVersion JVMProbe::registryVersion() const {
    try {
        const REGSAM access = KEY_READ | kOwnRegistryView;
        RegistryKey runtime(L"SOFTWARE\\JavaSoft\\Java Runtime Environment", access);
        const std::wstring current = runtime.readString(L"CurrentVersion");
        RegistryKey release(runtime, current, access);
        const std::wstring micro = release.readString(L"MicroVersion");
        return parseVersion(current + L"." + micro + L"_0");
    } catch (const RegistryException&) {
        return parseVersion(L"0.0.0.0");
    }
}

JVMVersion JVMProbe::layoutVersion() {
    const std::wstring folder = programFolder();
    static const struct {
        const wchar_t* relative;
        int major;
    } layouts[] = {
        {L"\\pack200.exe", 5},           {L"\\client", 4},
        {L"\\..\\jre\\bin\\client", 4},  {L"\\server", 4},
        {L"\\..\\jre\\bin\\server", 4},  {L"\\hotspot", 3},
        {L"\\..\\jre\\bin\\hotspot", 3}, {L"\\classic", 2},
    };
    for (const auto& layout : layouts) {
        if (!exists(folder + layout.relative))
            continue;
        JVMVersion found(layout.major, 0, 0);
        const std::wstring plugInFolder =
            kind() == VMKind::JRE ? folder : folder + L"\\..\\jre\\bin";
        if (const auto p = readFileVersion(plugInFolder + L"\\NPJava32.dll")) {
            const std::array<WORD, 4>& words = *p;
            found = JVMVersion(words[1], words[2], words[1] >= 4 ? words[3] / 10 : words[3]);
        }
        return found;
    }
    if (isJre(programName()) || exists(folder + L"\\jre.exe") || exists(folder + L"\\jrew.exe"))
        return JVMVersion(1, 0, 0);
    return JVMVersion();
}

} // namespace tarrow
