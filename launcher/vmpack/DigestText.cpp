#include "DigestText.h"

namespace tarrow {

std::wstring hexDigest(const unsigned char* bytes, size_t count) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

} // namespace tarrow
