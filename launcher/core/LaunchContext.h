// What the VM searches, the options builder and the VM pack step need to know of a launch.
// The launcher object hands it down, so that nothing below the launcher depends on it.
#pragma once

#include <string>

#include "CommandLine.h"
#include "PropertySet.h"

namespace tarrow {

struct LaunchContext {
    // The properties file's settings and those of "jvmspecs.properties" (empty without one).
    const PropertySet& settings;
    const PropertySet& vmSpecSettings;
    const CommandLine& commandLine;
    // The properties file's name, relative to the current directory (its folder).
    std::wstring propertiesPath;
    // The current directory when the launcher started.
    std::wstring startDirectory;
    bool silent = false;
    bool service = false;
};

// The full path of the folder that holds the properties file, against which relative paths of
// the settings are read.
std::wstring propertiesFolder(const LaunchContext& launch);

} // namespace tarrow
