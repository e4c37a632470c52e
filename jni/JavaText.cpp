#include "JavaText.h"

namespace tarrow {

std::u16string utf16FromModifiedUtf8(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        auto continuation = [&](size_t k) {
            return i + k < bytes.size() &&
                   (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        };
        if (lead < 0x80) {
            text += static_cast<char16_t>(lead);
            i += 1;
        } else if ((lead & 0xE0) == 0xC0 && continuation(1)) {
            text += static_cast<char16_t>(((lead & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
        } else if ((lead & 0xF0) == 0xE0 && continuation(1) && continuation(2)) {
            text += static_cast<char16_t>(((lead & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) |
                                          (bytes[i + 2] & 0x3F));
            i += 3;
        } else if ((lead & 0xF8) == 0xF0 && continuation(1) && continuation(2) && continuation(3)) {
            // Standard four-byte form, accepted although JNI never produces it.
            const unsigned long code = ((lead & 0x07ul) << 18) | ((bytes[i + 1] & 0x3Ful) << 12) |
                                       ((bytes[i + 2] & 0x3Ful) << 6) | (bytes[i + 3] & 0x3Ful);
            const unsigned long v = code - 0x10000;
            text += static_cast<char16_t>(0xD800 + (v >> 10));
            text += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            i += 4;
        } else {
            text += u'\uFFFD';
            i += 1;
        }
    }
    return text;
}

std::string modifiedUtf8FromUtf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        const unsigned code = unit;
        if (code != 0 && code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | (code >> 6));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (code >> 12));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

} // namespace tarrow
