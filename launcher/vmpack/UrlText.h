// Texts taken from a VM pack URL. Platform-free.
#pragma once

#include <string>

namespace tarrow {

// The text after the last "/" or "\" of a URL (all of it without one), trimmed.
std::wstring packFileName(const std::wstring& url);

// Whether the URL names a VM pack: it ends with ".vm", with case.
bool isVmPackUrl(const std::wstring& url);

// Every "%xx" escape (two hexadecimal digits) but "%00" replaced by the byte it stands for,
// the bytes read as UTF-8; any other "%" stays.
std::wstring decodeUrlEscapes(const std::wstring& text);

} // namespace tarrow
