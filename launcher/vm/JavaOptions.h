// JavaOptions: everything a VM needs to run the application, filled once from the settings.
// Platform-free value type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Path.h"
#include "Settings.h"

namespace tarrow {

// How the class path reaches the VM: on its command line, or, when the command line would be
// too long to pass, through a Java argument file (VMs of version 9 and later), through the
// CLASSPATH variable of the VM's environment (any VM reads it when no class path is given), or
// through a class-path jar whose manifest lists the entries (Java 2 VMs, for a class path too
// long for an environment variable).
enum class ClassPathRoute { CommandLine, ArgumentFile, Environment, Jar };

struct JavaOptions {
    // Copied and destroyed out of line: the record is copied in many places, and one copy of
    // that code keeps the launcher small.
    JavaOptions();
    JavaOptions(const JavaOptions&);
    JavaOptions(JavaOptions&&) noexcept;
    JavaOptions& operator=(const JavaOptions&);
    JavaOptions& operator=(JavaOptions&&) noexcept;
    ~JavaOptions();

    std::wstring mainClass;
    std::wstring gcExtent;          // not empty: class garbage collection off
    std::wstring additionalOptions; // inserted into the command line as they stand
    std::wstring verbosityDetail;   // empty, "gc" or "class"
    std::wstring workingDirectory = L".";
    Path classPath;
    std::vector<std::wstring> appArguments;
    std::vector<std::wstring> launcherArguments; // properties file and VM information file
    std::int32_t msvmMinBuild = 0;
    std::int64_t initialHeap = 0; // bytes; 0 = not given
    std::int64_t maxHeap = 0;     // bytes; 0 = not given
    // A heap size given as a share of physical memory (percent, 1-100; 0 = the size above).
    // Each VM resolves it for its own bitness to whole megabytes (then in the size above) and
    // writes it in megabytes.
    int initialHeapShare = 0;
    int maxHeapShare = 0;
    // Options for VMs whose version a pattern accepts (isVersionOptionPattern), in key order:
    // each VM adds those for its version after the additional options when it is launched.
    std::vector<VersionOptions> versionOptions;
    bool verbose = false;
    bool debug = false;
    bool noAsyncGC = false;
    bool noCompiler = false;
    ClassPathRoute classPathRoute = ClassPathRoute::CommandLine;
    std::wstring argumentFile; // with ClassPathRoute::ArgumentFile: the file's full path
    std::wstring classPathJar; // with ClassPathRoute::Jar: the jar's full path
};

} // namespace tarrow
