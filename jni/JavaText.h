// Conversion between UTF-16 and the modified UTF-8 that JNI's string functions use (NUL as two
// bytes, characters beyond the basic plane as two three-byte surrogates). Platform-free.
#pragma once

#include <string>

namespace tarrow {

std::u16string utf16FromModifiedUtf8(const std::string& bytes);
std::string modifiedUtf8FromUtf16(const std::u16string& text);

} // namespace tarrow
