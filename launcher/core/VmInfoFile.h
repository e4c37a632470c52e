// The VM information file: a temporary properties file that the launcher appends facts to and
// hands to the Java application. It lives as long as the launch: the launcher removes it once
// the VM and every process of its job have ended, or when the launch fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "LaunchOwner.h"

namespace tarrow {

// The path of the VM information file, created empty (prefix "kiv", in the temporary
// directory) on the first call; the path stays the same for the life of the process. Empty when
// the file could not be created.
const std::wstring& vmInfoFilePath();

// Appends "key=value" lines to the VM information file, encoded as appendInfoFileLine does.
void appendVmInfo(const std::vector<std::wstring>& lines);

// Appends bytes that are whole lines to the VM information file. Raises FileException when the
// file could not be created, and TerminalError naming the file and the Windows error when not
// every byte could be written (a full disk): an incomplete file never reaches the application.
void appendVmInfoBytes(const std::string& bytes);

// Names `owner` in the VM information file's owner record from now on, if this process created
// the file.
void recordVmInfoFileOwner(const LaunchOwner& owner);

// Ends the life of the VM information file, if this process created one: removed (and traced),
// or with `keep` left on disk for a process that still needs it (with an `heir`, recorded as the
// file's owner from now on).
void discardVmInfoFile(bool keep = false, const std::optional<LaunchOwner>& heir = {});

} // namespace tarrow
