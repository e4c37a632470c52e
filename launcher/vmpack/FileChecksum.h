// Digests of a file, through the platform's cryptographic service.
#pragma once

#include <string>

#include "StreamDigest.h"

namespace tarrow {

// Lower-case hexadecimal digits (32 for MD5, 64 for SHA-256), or empty when the file cannot be
// hashed (a message on standard output says why). A successful computation prints one line
// break.
std::wstring fileDigest(const std::wstring& path, DigestKind kind);

// The MD5 digest: fileDigest(path, DigestKind::Md5).
std::wstring fileMd5(const std::wstring& path);

} // namespace tarrow
