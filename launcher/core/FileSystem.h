// Path operations that ask the file system, file tests and file opening.
#pragma once

#include <string>

#include "UniqueHandle.h"

namespace tarrow {

// Size of the path buffers handed to the path calls, terminator included.
constexpr DWORD kPathBufferChars = MAX_PATH;

// The long form of a path (GetLongPathNameW); the input when the call fails or the result
// does not fit the path buffer.
std::wstring longPathName(const std::wstring& path);

// Doubled backslashes reduced (a UNC prefix kept), "/" turned into "\", and a name holding
// "~" replaced by its long form where the file system knows it.
std::wstring normalise(const std::wstring& text);

struct FullPathOptions {
    bool keepSlashPrefixed = false; // a text starting with "/" is returned unchanged
    bool longForm = false;          // the result gets the long-name step of normalise
};

// The absolute form of `text` (GetFullPathNameW); the input when the call fails or the result
// does not fit the path buffer.
std::wstring fullPath(const std::wstring& text, FullPathOptions options = {});

bool exists(const std::wstring& path);
bool isDirectory(const std::wstring& path);

// True when the path names a file, not a folder, that holds at least one byte. Read from the
// file's attributes in one query, without opening it.
bool isNonEmptyFile(const std::wstring& path);

// The current directory, whatever its length; empty when Windows cannot say.
std::wstring currentDirectory();

// Makes `folder` the current directory; raises FileException when Windows refuses.
void changeDirectory(const std::wstring& folder);

// Opens an existing file for reading, shared read, as a text-mode stream ("r"). Raises
// FileException "windows could not open the file specified" or "could not open file for read".
UniqueStdioFile openForRead(const std::wstring& path);

// Appends bytes to the end of a file (created when missing), opened for writing with shared
// read and write. Raises FileException when the file cannot be opened or not all bytes could be
// written (a full disk).
void appendToFile(const std::wstring& path, const std::string& bytes);
// The same, returning the Windows error (ERROR_SUCCESS when every byte was written).
DWORD appendToFileStatus(const std::wstring& path, const std::string& bytes);

// Reads the whole of a stream.
std::string readAll(FILE* stream);

} // namespace tarrow
