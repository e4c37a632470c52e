// JavaOptions: everything a VM needs to run the application, filled once from the settings.
// Platform-free value type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Path.h"

namespace tarrow {

struct JavaOptions {
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
    bool verbose = false;
    bool debug = false;
    bool noAsyncGC = false;
    bool noCompiler = false;
};

} // namespace tarrow
