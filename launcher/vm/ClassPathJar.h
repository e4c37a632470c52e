// A class-path jar: a jar that holds nothing but a manifest whose "Class-Path" attribute lists
// the entries of a class path, so that a VM that reads neither argument files nor a class path
// this long from its environment still gets the whole list. Platform-free.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarrow {

// The absolute "file:" URL of one class-path entry: "C:\lib\a b.jar" is "file:/C:/lib/a%20b.jar"
// and a folder ends with "/". Every byte of the entry's UTF-8 form that is not a letter, a digit,
// "-", ".", "_", "~" or a separator is escaped as %XX. Nothing for an entry that a URL cannot
// express: anything but a full path with a drive letter (a UNC path, a relative path).
std::optional<std::string> classPathUrl(const std::wstring& entry, bool isFolder);

// The manifest text: "Manifest-Version: 1.0", then "Class-Path:" with the URLs in order,
// separated by single spaces; lines of at most 72 bytes, a longer one continued on lines that
// start with one space; CR LF line ends and an empty last line.
std::string classPathManifest(const std::vector<std::string>& urls);

// The bytes of a jar (a ZIP archive) whose only entry is "META-INF/MANIFEST.MF" with `manifest`,
// stored without compression.
std::string jarWithManifest(const std::string& manifest);

} // namespace tarrow
