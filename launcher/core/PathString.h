// Operations on path strings that need no file system. Platform-free.
#pragma once

#include <string>

namespace tarrow {

// Reduces doubled backslashes to one (a leading pair, the UNC prefix, stays) and turns every
// "/" into "\". The long-name step of normalisation needs the file system (FileSystem.h).
std::wstring collapseSeparators(const std::wstring& text);

// Text after the last "\" (all of it when there is none), optionally lower-cased.
std::wstring fileName(const std::wstring& text, bool lowerCase = false);

// Text before the last "\"; `fallback` when there is none.
std::wstring parent(const std::wstring& text, const std::wstring& fallback = L".");

// The folder that holds `path`, usable as a current directory: like parent(), but a drive
// alone becomes its root ("D:\App.kiv" gives "D:\").
std::wstring containingFolder(const std::wstring& path, const std::wstring& fallback = L".");

// A "." after the last "\" (without any "\": a "." after the first character).
bool hasExtension(const std::wstring& text);

// Text after the last ".", lower-cased; empty when hasExtension is false.
std::wstring extension(const std::wstring& text);

// Text between the last "\" and the last "." after it (the whole file name without extension).
std::wstring baseName(const std::wstring& text);

// First character "\" or second character ":".
bool isAbsolute(const std::wstring& text);

// `base` + "\" + `name`, without doubling a separator already at the end of `base`.
std::wstring joinPath(const std::wstring& base, const std::wstring& name);

} // namespace tarrow
