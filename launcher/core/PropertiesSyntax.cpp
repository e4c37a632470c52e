#include "PropertiesSyntax.h"

#include "Text.h"

namespace tarrow {

namespace {

void parseLine(const std::wstring& line, PropertySet& properties) {
    if (!line.empty() && line[0] == L'#')
        return;
    const std::wstring trimmed = trim(line);
    const size_t separator = trimmed.find(L'=');
    if (trimmed.empty() || separator == std::wstring::npos)
        return;
    const std::wstring key = trim(trimmed.substr(0, separator));
    std::wstring value = trim(trimmed.substr(separator + 1));
    if (!value.empty() && value.back() == L'\\')
        value.back() = L' ';
    properties.set(unescapeProperty(key), unescapeProperty(value));
}

void appendEscapedUnit(std::wstring& out, unsigned code) {
    static const wchar_t digits[] = L"0123456789abcdef";
    out += L"\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(code >> shift) & 0xF];
}

const wchar_t* namedEscape(wchar_t c) {
    switch (c) {
    case L'\t':
        return L"\\t";
    case L'\n':
        return L"\\n";
    case L'\r':
        return L"\\r";
    case L'\f':
        return L"\\f";
    default:
        return nullptr;
    }
}

} // namespace

std::wstring unescapeProperty(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        if (text[i + 1] != L'u') {
            out.append(text, i, 2);
            ++i;
            continue;
        }
        unsigned code = 0;
        size_t next = i + 2;
        for (int digits = 0; digits < 4 && next < text.size() && hexDigitValue(text[next]) >= 0;
             ++digits, ++next)
            code = code * 16 + static_cast<unsigned>(hexDigitValue(text[next]));
        out += static_cast<wchar_t>(code);
        i = next - 1;
    }
    return out;
}

void parseProperties(const std::string& contents, PropertySet& properties) {
    for (const auto& line : splitLines(decodeFileText(contents)))
        parseLine(line, properties);
}

void appendEscapedForProperties(std::wstring& out, std::wstring_view text) {
    // Runs of characters that stand as they are go out in one append each: most text is one run.
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const unsigned long code = static_cast<unsigned long>(c);
        if (code >= 0x20 && code < 128 && c != L'\\' && !(c == L' ' && i == 0))
            continue;
        out.append(text.data() + run, i - run);
        run = i + 1;
        if (c == L'\\') {
            out += L"\\\\";
        } else if (const wchar_t* named = namedEscape(c)) {
            out += named; // a line end would end the value; Java reads these back
        } else if (code < 0x20) {
            appendEscapedUnit(out, static_cast<unsigned>(code));
        } else if (c == L' ') {
            out += L"\\ "; // Java skips blanks before a value; this one is part of it
        } else if (code > 0xFFFF) {
            // Only where wide text is UTF-32: write the UTF-16 pair, as on Windows.
            const unsigned long v = code - 0x10000;
            appendEscapedUnit(out, static_cast<unsigned>(0xD800 + ((v >> 10) & 0x3FF)));
            appendEscapedUnit(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        } else {
            appendEscapedUnit(out, static_cast<unsigned>(code));
        }
    }
    out.append(text.data() + run, text.size() - run);
}

void appendInfoFileLine(std::string& bytes, std::wstring_view line) {
    appendLatin1(bytes, line);
    bytes += "\r\n";
}

std::wstring escapeForProperties(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    appendEscapedForProperties(out, text);
    return out;
}

} // namespace tarrow
