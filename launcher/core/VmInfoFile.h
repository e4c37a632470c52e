// The VM information file: a temporary properties file that the launcher appends facts to and
// hands to the Java application.
#pragma once

#include <string>
#include <vector>

namespace tarrow {

// The path of the VM information file, created empty (prefix "kiv", in the temporary
// directory) on the first call and kept for the life of the process. Empty when the file
// could not be created.
const std::wstring& vmInfoFilePath();

// Appends whole lines to `file` (created when missing) as appendInfoFileLine encodes them.
// Raises FileException when the file cannot be opened.
void appendLines(const std::wstring& file, const std::vector<std::wstring>& lines);

// Appends "key=value" lines to the VM information file.
void appendVmInfo(const std::vector<std::wstring>& lines);

} // namespace tarrow
