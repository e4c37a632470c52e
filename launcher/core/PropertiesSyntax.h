// The properties file syntax: reading file contents into a property set, and escaping text
// written to the VM information file. Platform-free.
#pragma once

#include <string>
#include <string_view>

#include "PropertySet.h"

namespace tarrow {

// Adds the entries of `contents` (the file's bytes: UTF-8, with or without byte-order mark,
// when they are well-formed UTF-8, else ISO 8859-1) to `properties`. Lines end at a line feed (a
// carriage return before it is dropped); "#" in the first column starts a comment; the first "="
// separates the trimmed key from the trimmed value; a value ending in "\" has that backslash
// replaced by a space; "\u" with one to four hexadecimal digits becomes that character and every
// other backslash pair is kept as it stands.
void parseProperties(const std::string& contents, PropertySet& properties);

// Resolves the "\u" escapes of one key or value.
std::wstring unescapeProperty(const std::wstring& text);

// Text as a value of a Java properties file: doubles every "\", writes tab, line feed,
// carriage return and form feed as "\t", "\n", "\r" and "\f" and other control characters
// as "\u" escapes (a line end would cut the value short), escapes a leading space (Java skips
// blanks before a value), copies other characters below 128 and writes any other character as
// "\u" and four lower-case hexadecimal digits, so the result is plain ASCII on one line.
std::wstring escapeForProperties(const std::wstring& text);

// Appends `text` to `out` escaped as escapeForProperties escapes it.
void appendEscapedForProperties(std::wstring& out, std::wstring_view text);

// Appends one line as the VM information file holds it: each character as one byte (one above
// 255 as "?"; escaped text has none) and the line ended by CR LF, as a text-mode stream
// writes it.
void appendInfoFileLine(std::string& bytes, std::wstring_view line);

} // namespace tarrow
