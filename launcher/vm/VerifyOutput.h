// Checking what the "Verify" probe printed against the expected property patterns.
// Platform-free.
#pragma once

#include <map>
#include <string>

namespace tarrow {

// "*" matches anything; a pattern ending in "*" is a prefix up to its first "*"; a pattern
// ending in "..." is a prefix without its trailing dots; otherwise the value must be equal.
bool matchesPropertyPattern(const std::wstring& value, const std::wstring& pattern);

// The probe's output (already decoded): a first line that is skipped, then one line per
// property in map order, each matching its pattern. Lines may end with LF or CR LF.
bool verifyOutputMatches(const std::wstring& output,
                         const std::map<std::wstring, std::wstring>& properties);

} // namespace tarrow
