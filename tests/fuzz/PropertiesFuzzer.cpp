// Properties files and the VM information file. Any file contents read without a fault: as
// UTF-8 exactly when they are well-formed UTF-8 (read back to the same bytes), else one
// character per byte. A value escaped for the VM information file is one line of plain
// ASCII, and reading it back by the rules of java.util.Properties (which the application
// uses) gives the value again.
#include <string>

#include "FuzzInput.h"
#include "PropertiesSyntax.h"
#include "Text.h"

using tarrow::fuzz::require;

namespace {

// java.util.Properties.load for the value part of "key=value" on one line: leading blanks
// skipped, "\t" "\n" "\r" "\f" "\uXXXX" decoded, any other escaped character taken as itself.
std::wstring javaValue(const std::wstring& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t' || line[i] == L'\f'))
        ++i;
    std::wstring out;
    for (; i < line.size(); ++i) {
        if (line[i] != L'\\') {
            out += line[i];
            continue;
        }
        require(i + 1 < line.size(), "no backslash ends a line (Java would join the next)");
        const wchar_t c = line[++i];
        if (c == L'u') {
            require(i + 4 < line.size(), "a \\u escape has four digits");
            unsigned code = 0;
            for (int k = 1; k <= 4; ++k) {
                require(tarrow::hexDigitValue(line[i + k]) >= 0, "a \\u escape has four hexadecimal digits");
                code = code * 16 + static_cast<unsigned>(tarrow::hexDigitValue(line[i + k]));
            }
            out += static_cast<wchar_t>(code);
            i += 4;
        } else {
            out += c == L't'   ? L'\t'
                   : c == L'n' ? L'\n'
                   : c == L'r' ? L'\r'
                   : c == L'f' ? L'\f'
                               : c;
        }
    }
    return out;
}

// UTF-16 code units of a text, as Java holds it.
std::wstring utf16(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        const unsigned long code = static_cast<unsigned long>(c);
        if (code > 0xFFFF) {
            out += static_cast<wchar_t>(0xD800 + (((code - 0x10000) >> 10) & 0x3FF));
            out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += c;
        }
    }
    return out;
}

void checkEscaping(const std::wstring& value) {
    const std::wstring escaped = tarrow::escapeForProperties(value);
    for (wchar_t c : escaped)
        require(static_cast<unsigned long>(c) >= 0x20 && static_cast<unsigned long>(c) < 128,
                "escaped text is printable ASCII on one line");
    require(javaValue(escaped) == utf16(value), "Java reads the escaped value back unchanged");
}

void checkDecoding(const std::string& bytes) {
    const std::wstring text = tarrow::decodeFileText(bytes);
    const std::string body = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    if (tarrow::isWellFormedUtf8(body))
        require(tarrow::toUtf8(text) == body, "well-formed UTF-8 reads back to the same bytes");
    else
        require(text == tarrow::widenLatin1(body), "any other file is one character per byte");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkDecoding(bytes);
    tarrow::PropertySet properties;
    tarrow::parseProperties(bytes, properties);
    for (const auto& entry : properties.entries())
        checkEscaping(entry.second);
    // Raw text too, with every character the reader would never produce (line ends, blanks).
    checkEscaping(tarrow::fuzz::latin1(data, size));
    return 0;
}
