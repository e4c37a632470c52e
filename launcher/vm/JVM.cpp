#include "JVM.h"

#include <windows.h>

#include "AnsiText.h"
#include "ChildProcess.h"
#include "ClassPathJar.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "PeImage.h"
#include "StringTable.h"
#include "Text.h"
#include "Trace.h"
#include "VersionResource.h"
#include "VmCommandLine.h"
#include "VmProcess.h"

namespace tarrow {

namespace {
constexpr std::int64_t kMegabyte = 1024 * 1024;
}

bool isSystemFolder(const std::wstring& home) {
    const std::wstring last = fileName(home, true);
    return last == L"system32" || last == L"syswow64";
}

std::wstring JVM::summary() const {
    const wchar_t* kinds[] = {L"JDK", L"JRE", L"Microsoft VM"};
    std::wstring text = executablePath();
    text.append(L" (home ").append(home).append(L", ").append(kinds[static_cast<int>(kind)]);
    text.append(L", vendor ").append(vendor).append(L", version ").append(versionText(version));
    text.append(L", ").append(architectureName(architecture));
    text.append(isKnownArchitecture(architecture) ? L", " : L", taken as ");
    return text.append(is64Bit ? L"64-bit)" : L"32-bit)");
}

std::wstring JVM::versionOptionsFor(const JavaOptions& options) const {
    std::wstring result;
    if (options.versionOptions.empty())
        return result;
    const std::wstring program = executablePath();
    if (version == JVMVersion()) {
        trace(L"version of " + program + L" unknown: no version-dependent options");
        return result;
    }
    for (const auto& entry : options.versionOptions) {
        const bool applies = matchesVersionOptionPattern(version, entry.pattern);
        trace(entry.key + (applies ? L" applies to " : L" does not apply to ") + program);
        if (applies && !entry.options.empty())
            result += (result.empty() ? L"" : L" ") + entry.options;
    }
    return result;
}

void JVM::fitOptions(JavaOptions& options) const {
    const std::wstring added = versionOptionsFor(options);
    if (!added.empty())
        options.additionalOptions += (options.additionalOptions.empty() ? L"" : L" ") + added;
    options.versionOptions.clear();
    if (!options.initialHeapShare && !options.maxHeapShare)
        return;
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory))
        memory.ullTotalPhys = 0;
    // The image decides, whoever described the VM; one that cannot be read gets the 32-bit cap,
    // which any VM can take.
    const ImageArchitecture image = imageArchitecture(executablePath());
    const bool vm32Bit = !is64BitArchitecture(image);
    resolveHeapShares(options, memory.ullTotalPhys, vm32Bit);
    if (!tracing())
        return;
    std::wstring line = vm32Bit ? L"heap for a 32-bit VM (" : L"heap for a 64-bit VM (";
    line.append(architectureName(image)).append(L"), ");
    line.append(decimal(static_cast<long long>(memory.ullTotalPhys / kMegabyte)));
    line.append(L" MB physical memory");
    // The shares as resolved: an initial size capped at the maximum is traced as the maximum's.
    const int shares[] = {options.initialHeapShare, options.maxHeapShare};
    const std::int64_t sizes[] = {options.initialHeap, options.maxHeap};
    for (int i = 0; i < 2; ++i) {
        if (shares[i])
            line.append(i ? L", maximum " : L", initial ")
                .append(decimal(shares[i]))
                .append(L"% = ")
                .append(decimal(sizes[i] / kMegabyte))
                .append(L" MB");
    }
    trace(line);
}

UniqueHandle JVM::launch(const JavaOptions& given, bool wait, const VmJob* job) {
    JavaOptions options = given;
    fitOptions(options);
    std::wstring line = commandLine(options);
    if (line.size() > kMaxCommandLineChars)
        line = shortenedCommandLine(options);
    prepareEnvironment(options);
    if (tracing()) {
        trace(L"start " + line);
        trace(L"working directory " + options.workingDirectory);
        const wchar_t* routes[] = {L"on the command line", L"through the argument file ",
                                   L"through CLASSPATH", L"through the class-path jar "};
        trace(L"class path passed " +
              std::wstring(routes[static_cast<int>(options.classPathRoute)]) +
              options.argumentFile + options.classPathJar);
    }
    return startProcess(options.workingDirectory, line, wait, job);
}

void JVM::recordLaunchFilesOwner(const LaunchOwner& owner) {
    if (launchFile_)
        launchFile_->recordOwner(owner);
}

void JVM::discardLaunchFiles(bool keep, const std::optional<LaunchOwner>& heir) {
    if (launchFile_ && keep)
        launchFile_->keep(heir);
    launchFile_.reset();
}

std::wstring JVM::shortenedCommandLine(JavaOptions& options) {
    if (readsArgumentFiles()) {
        // Java reads argument files in the ANSI code page: a list it cannot hold goes through
        // the environment instead.
        const auto text = exactAnsi(javaArgumentFileText(options.classPath.toString()));
        if (auto file = text ? TemporaryFile::write(*text) : nullptr) {
            options.classPathRoute = ClassPathRoute::ArgumentFile;
            options.argumentFile = file->path();
            launchFile_ = std::move(file);
            const std::wstring line = commandLine(options);
            if (line.size() <= kMaxCommandLineChars)
                return line;
            launchFile_.reset();
        }
    }
    // An environment variable holds at most 32,767 characters: a longer list goes through a
    // class-path jar where the VM reads one; otherwise the command line stays too long to start.
    if (options.classPath.toString().size() > kMaxCommandLineChars) {
        if (readsClassPathJars()) {
            JavaOptions withJar = options;
            const std::wstring line = classPathJarCommandLine(withJar);
            if (!line.empty()) {
                options = withJar;
                return line;
            }
        }
        return commandLine(options);
    }
    options.classPathRoute = ClassPathRoute::Environment;
    return commandLine(options);
}

std::wstring JVM::classPathJarCommandLine(JavaOptions& options) {
    std::vector<std::string> urls;
    for (const auto& entry : options.classPath) {
        if (entry.empty())
            continue;
        const auto url = classPathUrl(entry, isDirectory(entry));
        if (!url) {
            trace(L"class-path entry " + entry + L" has no file: URL: no class-path jar");
            return std::wstring();
        }
        urls.push_back(*url);
    }
    auto file = TemporaryFile::write(jarWithManifest(classPathManifest(urls)));
    if (!file)
        return std::wstring();
    options.classPathRoute = ClassPathRoute::Jar;
    options.classPathJar = file->path();
    launchFile_ = std::move(file);
    return commandLine(options);
}

void JVM::prepareEnvironment(const JavaOptions& options) const {
    if (options.classPathRoute == ClassPathRoute::Environment)
        SetEnvironmentVariableW(L"CLASSPATH", options.classPath.toString().c_str());
}

std::wstring J2VM::executablePath() const {
    const std::wstring candidate =
        isSystemFolder(home) ? home + L"\\java.exe" : home + L"\\bin\\java.exe";
    return exists(candidate) ? candidate : home + L"\\java.exe";
}

std::wstring J2VM::commandLine(JavaOptions options) const {
    return j2vmCommandLine(executablePath(), version, options);
}

std::wstring J1VM::executablePath() const {
    const std::wstring jre = home + L"\\bin\\jre.exe";
    return exists(jre) ? jre : home + L"\\bin\\java.exe";
}

std::wstring J1VM::commandLine(JavaOptions options) const {
    options.classPath.append(home + L"\\lib\\classes.zip");
    return j1vmCommandLine(executablePath(), options);
}

MSJVM::MSJVM() {
    vendor = L"Microsoft";
    version = JVMVersion(1, 4, 0);
    kind = VMKind::MSJ;
}

void MSJVM::prepareEnvironment(const JavaOptions& options) const {
    SetEnvironmentVariableW(L"CLASSPATH", options.classPath.toString().c_str());
}

std::wstring MSJVM::executablePath() const {
    return home + L"\\jview.exe";
}

std::wstring MSJVM::commandLine(JavaOptions options) const {
    const auto fileVersion = readFileVersion(home + L"\\jview.exe");
    const int build = fileVersion ? (*fileVersion)[2] : 0;
    if (build < options.msvmMinBuild)
        throw TerminalError(getString(kNoValidVm));
    return msjvmCommandLine(executablePath(), options);
}

} // namespace tarrow
