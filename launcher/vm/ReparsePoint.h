// Resolving a file reached through a reparse point (a link) to the path of the file itself.
#pragma once

#include <string>

namespace tarrow {

// The drive-letter path of the file that `path` resolves to, found by mapping the file and
// asking for the mapped file's name; `path` itself when that cannot be done. An empty file
// cannot be mapped: a note is printed and the path is kept.
std::wstring resolveReparsePoint(const std::wstring& path);

} // namespace tarrow
