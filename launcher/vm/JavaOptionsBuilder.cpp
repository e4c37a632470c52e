#include "JavaOptionsBuilder.h"

#include <cstdio>

#include "Environment.h"
#include "FileSystem.h"
#include "JVMVersion.h"
#include "OptionText.h"
#include "PathString.h"
#include "Settings.h"
#include "Trace.h"
#include "VmInfoFile.h"

namespace tarrow {

namespace {

// A path from the settings: absolute as written, else relative to the properties file's folder.
std::wstring resolveAgainst(const std::wstring& folder, const std::wstring& path) {
    return isAbsolute(path) ? path : folder + L"\\" + path;
}

std::wstring workingDirectory(const LaunchContext& launch, const std::wstring& folder) {
    const std::wstring userDirectory = settings::userDirectory(launch.settings);
    if (userDirectory.empty())
        return launch.startDirectory;
    return fullPath(resolveAgainst(folder, userDirectory), {false, true});
}

Path classPath(const LaunchContext& launch, const std::wstring& folder) {
    const Path raw(settings::classPath(launch.settings, getVariable(L"CLASSPATH")));
    Path result;
    for (const auto& entry : raw)
        result.append(fullPath(resolveAgainst(folder, entry)));
    return result;
}

// The version-dependent options whose pattern is one; any other is left out with a warning.
std::vector<VersionOptions> versionOptions(const LaunchContext& launch) {
    std::vector<VersionOptions> result = settings::versionOptions(launch.settings);
    for (auto entry = result.begin(); entry != result.end();) {
        if (isVersionOptionPattern(entry->pattern)) {
            ++entry;
            continue;
        }
        const std::wstring warning = L"ignoring " + entry->key + L": \"" + entry->pattern +
                                     L"\" is not a version pattern.\n";
        trace(warning.substr(0, warning.size() - 1));
        if (!launch.silent)
            std::fputws(warning.c_str(), stderr);
        entry = result.erase(entry);
    }
    return result;
}

} // namespace

JavaOptions buildJavaOptions(const LaunchContext& launch) {
    const PropertySet& s = launch.settings;
    const std::wstring folder = propertiesFolder(launch);
    JavaOptions options;
    options.workingDirectory = workingDirectory(launch, folder);
    appendVmInfoBytes(exportedEnvironment());

    options.mainClass = settings::mainClass(s);
    options.additionalOptions = settings::additionalOptions(s);
    options.versionOptions = versionOptions(launch);
    options.initialHeap = readSize(settings::initialHeapSize(s));
    options.maxHeap = readSize(settings::maxHeapSize(s));
    options.initialHeapShare = readHeapShare(settings::initialHeapSize(s));
    options.maxHeapShare = readHeapShare(settings::maxHeapSize(s));
    options.gcExtent = settings::gcExtent(s);
    options.noAsyncGC = optionFlag(settings::gcBackgroundThread(s));
    options.debug = optionFlag(settings::debugging(s));
    options.noCompiler = optionFlag(settings::compiler(s));
    options.msvmMinBuild = readInteger(settings::microsoftVmMinVersion(s));

    options.launcherArguments.push_back(fullPath(launch.propertiesPath, {false, true}));
    options.launcherArguments.push_back(vmInfoFilePath());

    const Verbosity verbosity = readVerbosity(settings::verbose(s));
    if (!verbosity.warning.empty())
        std::fputws(verbosity.warning.c_str(), stderr);
    options.verbose = verbosity.verbose;
    options.verbosityDetail = verbosity.detail;

    if (launch.service)
        options.additionalOptions += L" -Xrs";
    options.classPath = classPath(launch, folder);

    const auto& arguments = launch.commandLine.arguments();
    if (arguments.size() > 1)
        options.appArguments.assign(arguments.begin() + 1, arguments.end());
    return options;
}

} // namespace tarrow
