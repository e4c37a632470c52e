#include "Text.h"

namespace tarrow {

std::wstring trim(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

wchar_t toLowerChar(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

wchar_t toUpperChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

std::wstring toLower(const std::wstring& text) {
    std::wstring result(text);
    for (auto& c : result)
        c = toLowerChar(c);
    return result;
}

std::wstring toUpper(const std::wstring& text) {
    std::wstring result(text);
    for (auto& c : result)
        c = toUpperChar(c);
    return result;
}

bool equalsIgnoreCase(const std::wstring& a, const std::wstring& b) {
    return toLower(a) == toLower(b);
}

std::wstring replaceAll(const std::wstring& text, const std::wstring& from,
                        const std::wstring& to) {
    if (from.empty())
        return text;
    std::wstring result;
    size_t start = 0;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, start)) {
        result.append(text, start, at - start).append(to);
        start = at + from.size();
    }
    return result.append(text, start, std::wstring::npos);
}

static void appendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string toUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long code = static_cast<unsigned long>(text[i]) & 0x1FFFFFul;
        const bool high = code >= 0xD800 && code <= 0xDBFF;
        const bool low = code >= 0xDC00 && code <= 0xDFFF;
        if (high && i + 1 < text.size()) {
            const unsigned long next = static_cast<unsigned long>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                ++i;
                appendUtf8(out, code);
                continue;
            }
        }
        if (high || low || code > 0x10FFFF)
            code = 0xFFFD;
        appendUtf8(out, code);
    }
    return out;
}

std::wstring widenLatin1(const std::string& bytes) {
    std::wstring result;
    result.reserve(bytes.size());
    for (unsigned char b : bytes)
        result += static_cast<wchar_t>(b);
    return result;
}

// The length of the well-formed UTF-8 sequence at `at` that encodes a character above 127;
// 0 when none starts there. The second byte's range rules out overlong forms, encoded
// surrogates and characters above U+10FFFF.
static size_t utf8SequenceLength(std::string_view bytes, size_t at) {
    const unsigned lead = static_cast<unsigned char>(bytes[at]);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || bytes.size() - at < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned next = static_cast<unsigned char>(bytes[at + k]);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

bool isWellFormedUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t length = utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::wstring decodeFileText(const std::string& bytes) {
    const bool bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string body = bom ? bytes.substr(3) : bytes;
    return isWellFormedUtf8(body) ? fromUtf8(body) : widenLatin1(body);
}

std::string narrowLatin1(const std::wstring& text) {
    std::string result;
    result.reserve(text.size());
    appendLatin1(result, text);
    return result;
}

void appendLatin1(std::string& bytes, std::wstring_view text) {
    const size_t at = bytes.size();
    bytes.resize(at + text.size());
    char* out = &bytes[at];
    for (wchar_t c : text)
        *out++ = static_cast<unsigned>(c) < 256 ? static_cast<char>(c) : '?';
}

int hexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

template <typename Text> static std::vector<Text> splitTextLines(const Text& contents) {
    std::vector<Text> lines;
    size_t start = 0;
    while (start < contents.size()) {
        size_t end = contents.find('\n', start);
        if (end == Text::npos)
            end = contents.size();
        size_t lineEnd = end;
        if (lineEnd > start && contents[lineEnd - 1] == '\r')
            --lineEnd;
        lines.push_back(contents.substr(start, lineEnd - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> splitLines(const std::string& contents) {
    return splitTextLines(contents);
}

std::vector<std::wstring> splitLines(const std::wstring& contents) {
    return splitTextLines(contents);
}

std::wstring decimal(long long value) {
    // By hand: the library's std::to_wstring formats through swprintf.
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    wchar_t digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::wstring text(value < 0 ? L"-" : L"");
    while (count > 0)
        text += digits[--count];
    return text;
}

std::wstring fromUtf8(const std::string& bytes) {
    std::wstring out;
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        unsigned long code = extra == 0   ? lead
                             : extra == 1 ? (lead & 0x1F)
                             : extra == 2 ? (lead & 0x0F)
                                          : (lead & 0x07);
        bool valid =
            extra >= 0 && i + static_cast<size_t>(extra) < bytes.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned char next =
                static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms are refused: "C0 80" must not sneak in a NUL.
        static const unsigned long kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (extra > 0 && code < kSmallest[extra])) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000 && sizeof(wchar_t) == 2) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

} // namespace tarrow
