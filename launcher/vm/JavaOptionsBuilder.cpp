#include "JavaOptionsBuilder.h"

#include <cstdio>

#include "Environment.h"
#include "FileSystem.h"
#include "KIV.h"
#include "OptionText.h"
#include "PathString.h"
#include "Settings.h"
#include "VmInfoFile.h"

namespace tarrow {

namespace {

std::wstring propertiesFolder(const KIV& launcher) {
    return parent(fullPath(launcher.propertiesPath()), L".");
}

// A path from the settings: absolute as written, else relative to the properties file's folder.
std::wstring resolveAgainst(const std::wstring& folder, const std::wstring& path) {
    return isAbsolute(path) ? path : folder + L"\\" + path;
}

std::wstring workingDirectory(const KIV& launcher, const std::wstring& folder) {
    const std::wstring userDirectory = settings::userDirectory(launcher.settings());
    if (userDirectory.empty())
        return launcher.startDirectory();
    return fullPath(resolveAgainst(folder, userDirectory), {false, true});
}

Path classPath(const KIV& launcher, const std::wstring& folder) {
    const Path raw(settings::classPath(launcher.settings(), getVariable(L"CLASSPATH")));
    Path result;
    for (const auto& entry : raw)
        result.append(fullPath(resolveAgainst(folder, entry)));
    return result;
}

} // namespace

JavaOptions buildJavaOptions(const KIV& launcher) {
    const PropertySet& s = launcher.settings();
    const std::wstring folder = propertiesFolder(launcher);
    JavaOptions options;
    options.workingDirectory = workingDirectory(launcher, folder);
    exportEnvironment(vmInfoFilePath());

    options.mainClass = settings::mainClass(s);
    options.additionalOptions = settings::additionalOptions(s);
    options.initialHeap = readSize(settings::initialHeapSize(s));
    options.maxHeap = readSize(settings::maxHeapSize(s));
    options.gcExtent = settings::gcExtent(s);
    options.noAsyncGC = optionFlag(settings::gcBackgroundThread(s));
    options.debug = optionFlag(settings::debugging(s));
    options.noCompiler = optionFlag(settings::compiler(s));
    options.msvmMinBuild = readInteger(settings::microsoftVmMinVersion(s));

    options.launcherArguments.push_back(fullPath(launcher.propertiesPath(), {false, true}));
    options.launcherArguments.push_back(vmInfoFilePath());

    const Verbosity verbosity = readVerbosity(settings::verbose(s));
    if (!verbosity.warning.empty())
        std::fwprintf(stderr, L"%ls", verbosity.warning.c_str());
    options.verbose = verbosity.verbose;
    options.verbosityDetail = verbosity.detail;

    if (launcher.isService())
        options.additionalOptions += L" -Xrs";
    options.classPath = classPath(launcher, folder);

    const auto& arguments = launcher.commandLine().arguments();
    if (arguments.size() > 1)
        options.appArguments.assign(arguments.begin() + 1, arguments.end());
    return options;
}

} // namespace tarrow
