// Small wide-text helpers shared by the whole launcher. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarrow {

// Removes leading and trailing characters whose code is 32 or less.
std::wstring trim(const std::wstring& text);

bool startsWith(const std::wstring& text, const std::wstring& prefix);
bool endsWith(const std::wstring& text, const std::wstring& suffix);
bool contains(const std::wstring& text, const std::wstring& part);

// ASCII case mapping applied to each code unit; every other character is left as it is.
wchar_t toLowerChar(wchar_t c);
wchar_t toUpperChar(wchar_t c);
std::wstring toLower(const std::wstring& text);
std::wstring toUpper(const std::wstring& text);
bool equalsIgnoreCase(const std::wstring& a, const std::wstring& b);

// Replaces every occurrence of `from` (not empty) by `to`.
std::wstring replaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to);

// UTF-8 encoding of wide text; UTF-16 surrogate pairs are combined and a lone surrogate
// becomes U+FFFD, so the result is always valid UTF-8.
std::string toUtf8(const std::wstring& text);

// Decodes UTF-8; an invalid sequence becomes U+FFFD.
std::wstring fromUtf8(const std::string& bytes);

// Each byte becomes the character of the same code (ISO 8859-1).
std::wstring widenLatin1(const std::string& bytes);

// Whether the bytes are well-formed UTF-8: no stray or missing continuation byte, no overlong
// form, no encoded surrogate, nothing above U+10FFFF.
bool isWellFormedUtf8(std::string_view bytes);

// The text of a file saved either as UTF-8 or as ISO 8859-1: a UTF-8 byte-order mark is
// skipped; the rest is read as UTF-8 when it is well-formed UTF-8, else byte by byte.
std::wstring decodeFileText(const std::string& bytes);

// Each character below 256 becomes one byte; any other character becomes '?'.
std::string narrowLatin1(const std::wstring& text);
// The same, appended to `bytes`.
void appendLatin1(std::string& bytes, std::wstring_view text);

// The value of a hexadecimal digit (either case); -1 for any other character.
int hexDigitValue(wchar_t c);

// The lines of file contents: split at line feeds, a carriage return before a line feed
// dropped; a last line without line feed counts too.
std::vector<std::string> splitLines(const std::string& contents);
std::vector<std::wstring> splitLines(const std::wstring& contents);

// Decimal text of a number.
std::wstring decimal(long long value);

} // namespace tarrow
