// The MD5 digest of a file, through the platform's cryptographic service.
#pragma once

#include <string>

namespace tarrow {

// 32 lower-case hexadecimal digits, or empty when the file cannot be hashed (a message on
// standard output says why). A successful computation prints one line break.
std::wstring fileMd5(const std::wstring& path);

} // namespace tarrow
