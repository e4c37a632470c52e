// Finding and reading the launcher's properties files.
#pragma once

#include <string>

#include "PropertySet.h"

namespace tarrow {

// The ".kiv" file of the launcher at `programPath`: beside it with its extension replaced
// (when that is "exe" in any case), beside it with ".kiv" appended, or, unless
// `orCurrentFolder` is false, in the current directory under the launcher's base name. Raises
// TerminalError with string 102 when none exists.
std::wstring locatePropertiesFile(const std::wstring& programPath, bool orCurrentFolder = true);

// "<launcher folder>\jvmspecs\jvmspecs.properties" when the launcher's extension is "exe";
// empty otherwise.
std::wstring vmSpecPropertiesPath(const std::wstring& programPath);

// Adds the entries of the properties file at `path` to `properties`. Raises FileException when
// the file cannot be opened.
void readProperties(const std::wstring& path, PropertySet& properties);

} // namespace tarrow
