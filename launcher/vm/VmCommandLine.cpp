#include "VmCommandLine.h"

#include "OptionText.h"
#include "PathString.h"
#include "Text.h"

namespace tarrow {

namespace {

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

constexpr std::int64_t kMegabyte = 1024 * 1024;

// A share of memory is written in megabytes, any other size in bytes.
std::wstring sizeOption(const wchar_t* name, std::int64_t bytes, int share) {
    if (bytes <= 0)
        return std::wstring();
    return L" " + std::wstring(name) + (share ? decimal(bytes / kMegabyte) + L"m" : decimal(bytes));
}

std::wstring flagOption(bool on, const wchar_t* option) {
    return on ? L" " + std::wstring(option) : std::wstring();
}

std::wstring additional(const JavaOptions& options) {
    return options.additionalOptions.empty() ? std::wstring() : L" " + options.additionalOptions;
}

// The class path as the route asks (after the VM's own switch for it), the main class and the
// argument tail.
std::wstring classTail(const wchar_t* classPathSwitch, const JavaOptions& options) {
    std::wstring classPath;
    switch (options.classPathRoute) {
    case ClassPathRoute::CommandLine:
        classPath =
            L" " + std::wstring(classPathSwitch) + L" " + quoted(options.classPath.toString());
        break;
    case ClassPathRoute::ArgumentFile:
        classPath = L" " + quoted(L"@" + options.argumentFile);
        break;
    case ClassPathRoute::Environment:
        break;
    case ClassPathRoute::Jar:
        classPath = L" " + std::wstring(classPathSwitch) + L" " + quoted(options.classPathJar);
        break;
    }
    return classPath + L" " + options.mainClass + L" " + argumentString(options);
}

} // namespace

void resolveHeapShares(JavaOptions& options, std::uint64_t physicalBytes, bool vm32Bit) {
    if (options.initialHeapShare)
        options.initialHeap =
            heapShareMegabytes(options.initialHeapShare, physicalBytes, vm32Bit) * kMegabyte;
    if (options.maxHeapShare)
        options.maxHeap =
            heapShareMegabytes(options.maxHeapShare, physicalBytes, vm32Bit) * kMegabyte;
    if ((options.initialHeapShare || options.maxHeapShare) && options.maxHeap > 0 &&
        options.initialHeap > options.maxHeap) {
        options.initialHeap = options.maxHeap;
        options.initialHeapShare = options.maxHeapShare;
    }
}

std::wstring javaArgumentFileText(const std::wstring& classPath) {
    // Inside double quotes a Java argument file takes the backslash as an escape character.
    std::wstring escaped;
    for (wchar_t c : classPath) {
        if (c == L'\\' || c == L'"')
            escaped += L'\\';
        escaped += c;
    }
    return L"-classpath \"" + escaped + L"\"\r\n";
}

std::wstring argumentString(const JavaOptions& options) {
    std::wstring tail;
    for (const auto& argument : options.launcherArguments)
        tail += quoted(replaceAll(argument, L"\\", L"/")) + L" ";
    for (size_t i = 0; i < options.appArguments.size(); ++i) {
        std::wstring argument = replaceAll(options.appArguments[i], L"\\", L"\\\\");
        if (contains(argument, L" "))
            argument = quoted(argument);
        tail += (i == 0 ? L"" : L" ") + argument;
    }
    return tail;
}

std::wstring j2vmCommandLine(const std::wstring& executable, const JVMVersion& version,
                             const JavaOptions& options) {
    std::wstring line = quoted(executable);
    if (version.major() >= 9)
        line += L" --add-opens java.base/jdk.internal.loader=ALL-UNNAMED";
    line += sizeOption(L"-Xms", options.initialHeap, options.initialHeapShare) +
            sizeOption(L"-Xmx", options.maxHeap, options.maxHeapShare);
    if (options.verbose) {
        line += L" -verbose";
        if (!options.verbosityDetail.empty())
            line += L":" + options.verbosityDetail;
    }
    line += flagOption(options.debug, L"-Xdebug") + flagOption(options.noAsyncGC, L"-Xnoasyncgc") +
            flagOption(options.noCompiler, L"-Djava.compiler=off") +
            flagOption(!options.gcExtent.empty(), L"-Xnoclassgc");
    return line + additional(options) + classTail(L"-classpath", options);
}

std::wstring j1vmCommandLine(const std::wstring& executable, const JavaOptions& options) {
    std::wstring line = quoted(executable);
    line += sizeOption(L"-ms", options.initialHeap, options.initialHeapShare) +
            sizeOption(L"-mx", options.maxHeap, options.maxHeapShare);
    line += flagOption(options.verbose, L"-verbose") + flagOption(options.debug, L"-debug") +
            flagOption(options.noAsyncGC, L"-noasyncgc") +
            flagOption(options.noCompiler, L"-nojit") +
            flagOption(!options.gcExtent.empty(), L"-noclassgc");
    const std::wstring program = fileName(executable, true);
    const bool shortSwitch = program == L"jre.exe" || program == L"jrew.exe";
    return line + additional(options) + classTail(shortSwitch ? L"-cp" : L"-classpath", options);
}

std::wstring msjvmCommandLine(const std::wstring& executable, const JavaOptions& options) {
    return quoted(executable) + classTail(L"/cp", options);
}

} // namespace tarrow
