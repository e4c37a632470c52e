// The text form of a digest. Platform-free.
#pragma once

#include <cstddef>
#include <string>

namespace tarrow {

// Lower-case hexadecimal text of a digest, two digits per byte.
std::wstring hexDigest(const unsigned char* bytes, size_t count);

} // namespace tarrow
