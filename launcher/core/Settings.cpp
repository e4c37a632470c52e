#include "Settings.h"

#include <cwchar>

#include "Text.h"

namespace tarrow {

bool consoleFlag(const std::wstring& value) {
    const std::wstring lower = toLower(value);
    return lower == L"true" || lower == L"yes" || lower == L"on";
}

namespace settings {

namespace {
const wchar_t kMainClass[] = L"kiv.nl.java.launcher.main.class";
const wchar_t kClassPath[] = L"kiv.class.path";
const wchar_t kCurrentVm[] = L"kiv.nl.current.vm";
const wchar_t kValidVmList[] = L"kiv.nl.valid.vm.list";
const wchar_t kUserDir[] = L"kiv.user.dir";
const wchar_t kApplicationName[] = L"kiv.application.name";
const wchar_t kConsolePause[] = L"kiv.win32.console.pause";
const wchar_t kUiDefault[] = L"kiv.installer.windows.ui.default";
const wchar_t kVerbose[] = L"kiv.nl.java.option.verbose";
const wchar_t kGcExtent[] = L"kiv.nl.java.option.garbage.collection.extent";
const wchar_t kGcBackground[] = L"kiv.nl.java.option.garbage.collection.background.thread";
const wchar_t kDebugging[] = L"kiv.nl.java.option.debugging";
const wchar_t kCompiler[] = L"kiv.nl.java.option.compiler";
const wchar_t kAdditional[] = L"kiv.nl.java.option.additional";
const wchar_t kAdditionalForVersion[] = L"kiv.nl.java.option.additional.for.";
const wchar_t kHeapInitial[] = L"kiv.nl.java.option.java.heap.size.initial";
const wchar_t kHeapMax[] = L"kiv.nl.java.option.java.heap.size.max";
const wchar_t kMsvmMin[] = L"kiv.nl.win32.microsoftvm.min.version";
const wchar_t kPlatform[] = L"kiv.nl.win32.java.launcher.platform";
const wchar_t kSearchMoreVms[] = L"kiv.nl.search.more.vms";
const wchar_t kStopMainClass[] = L"kiv.nl.service.stop.main.class";
const wchar_t kStopArguments[] = L"kiv.nl.service.stop.arguments";
const wchar_t kStopTimeout[] = L"kiv.nl.service.stop.timeout";
constexpr unsigned long kDefaultStopTimeoutSeconds = 30;
const wchar_t kVerifyTimeout[] = L"kiv.nl.verify.timeout";
constexpr unsigned long kDefaultVerifyTimeoutSeconds = 5;
const wchar_t kEnvClassPath[] = L"$ENV_CLASSPATH$";
} // namespace

bool searchMoreVms(const PropertySet& p) {
    const std::wstring value = toLower(p.get(kSearchMoreVms, L"true"));
    return value != L"false" && value != L"no" && value != L"off" && value != L"0";
}

std::wstring serviceStopMainClass(const PropertySet& p) {
    return trim(p.get(kStopMainClass));
}
std::wstring serviceStopArguments(const PropertySet& p) {
    return trim(p.get(kStopArguments));
}
unsigned long serviceStopTimeoutSeconds(const PropertySet& p) {
    const std::wstring text = trim(p.get(kStopTimeout));
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return kDefaultStopTimeoutSeconds;
    return std::wcstoul(text.c_str(), nullptr, 10);
}

unsigned long verifyTimeoutSeconds(const PropertySet& p) {
    const std::wstring text = trim(p.get(kVerifyTimeout));
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return kDefaultVerifyTimeoutSeconds;
    const unsigned long seconds = std::wcstoul(text.c_str(), nullptr, 10);
    return seconds > 0 ? seconds : kDefaultVerifyTimeoutSeconds;
}

std::wstring mainClass(const PropertySet& p) {
    return p.get(kMainClass);
}

std::wstring classPath(const PropertySet& p, const std::wstring& environmentClassPath) {
    std::wstring value = p.get(kClassPath);
    const std::wstring marker = kEnvClassPath;
    const size_t at = value.find(marker);
    if (at != std::wstring::npos)
        value.replace(at, marker.size(), environmentClassPath);
    return value;
}

std::wstring currentVm(const PropertySet& p) {
    return p.get(kCurrentVm);
}
std::wstring validVmList(const PropertySet& p) {
    return p.get(kValidVmList);
}
std::wstring userDirectory(const PropertySet& p) {
    return p.get(kUserDir);
}
std::wstring applicationName(const PropertySet& p) {
    return p.get(kApplicationName, L"Pellinor");
}
std::wstring givenApplicationName(const PropertySet& p) {
    return p.get(kApplicationName);
}
bool consolePause(const PropertySet& p) {
    return consoleFlag(p.get(kConsolePause));
}
bool silentByDefault(const PropertySet& p) {
    return p.get(kUiDefault) == L"SILENT";
}
std::wstring verbose(const PropertySet& p) {
    return p.get(kVerbose);
}
std::wstring gcExtent(const PropertySet& p) {
    return p.get(kGcExtent);
}
std::wstring gcBackgroundThread(const PropertySet& p) {
    return p.get(kGcBackground);
}
std::wstring debugging(const PropertySet& p) {
    return p.get(kDebugging);
}
std::wstring compiler(const PropertySet& p) {
    return p.get(kCompiler);
}
std::wstring additionalOptions(const PropertySet& p) {
    return p.get(kAdditional);
}
std::vector<VersionOptions> versionOptions(const PropertySet& p) {
    const std::wstring prefix = kAdditionalForVersion;
    std::vector<VersionOptions> result;
    for (auto entry = p.entries().lower_bound(prefix);
         entry != p.entries().end() && startsWith(entry->first, prefix); ++entry)
        result.push_back({entry->first, entry->first.substr(prefix.size()), entry->second});
    return result;
}
std::wstring initialHeapSize(const PropertySet& p) {
    return p.get(kHeapInitial, L"0");
}
std::wstring maxHeapSize(const PropertySet& p) {
    return p.get(kHeapMax, L"0");
}
std::wstring microsoftVmMinVersion(const PropertySet& p) {
    return p.get(kMsvmMin, L"0");
}
std::wstring launcherPlatform(const PropertySet& p) {
    return p.get(kPlatform, L"1");
}

bool areComplete(const PropertySet& p, const std::wstring& environmentClassPath) {
    if (mainClass(p).empty())
        return false;
    if (currentVm(p).empty() && validVmList(p).empty())
        return false;
    return !classPath(p, environmentClassPath).empty();
}

namespace {
const wchar_t kServiceDisplayName[] = L"kiv.nl.service.display.name";
const wchar_t kServiceDescription[] = L"kiv.nl.service.description";
const wchar_t kServiceStart[] = L"kiv.nl.service.start";
const wchar_t kServiceAccount[] = L"kiv.nl.service.account";
const wchar_t kServiceDependencies[] = L"kiv.nl.service.dependencies";
const wchar_t kServiceRestartDelays[] = L"kiv.nl.service.restart.delays";
const wchar_t kServiceRestartReset[] = L"kiv.nl.service.restart.reset";

Setting setting(const PropertySet& p, const wchar_t* key) {
    return Setting{key, trim(p.get(key))};
}
} // namespace

std::wstring serviceDisplayName(const PropertySet& p) {
    const std::wstring name = trim(p.get(kServiceDisplayName));
    return name.empty() ? applicationName(p) : name;
}
std::wstring serviceDescription(const PropertySet& p) {
    return trim(p.get(kServiceDescription));
}
Setting serviceStart(const PropertySet& p) {
    return setting(p, kServiceStart);
}
Setting serviceAccount(const PropertySet& p) {
    return setting(p, kServiceAccount);
}
Setting serviceDependencies(const PropertySet& p) {
    return setting(p, kServiceDependencies);
}
Setting serviceRestartDelays(const PropertySet& p) {
    return setting(p, kServiceRestartDelays);
}
Setting serviceRestartReset(const PropertySet& p) {
    return setting(p, kServiceRestartReset);
}

bool serviceAllowsWritableFiles(const PropertySet& p) {
    return consoleFlag(p.get(L"kiv.nl.service.allow.writable.files"));
}

} // namespace settings

} // namespace tarrow
