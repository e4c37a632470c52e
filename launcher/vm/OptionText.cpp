#include "OptionText.h"

#include <limits>

#include "Text.h"

namespace tarrow {

namespace {

// wcstol-style reading into a 64-bit value that saturates instead of overflowing.
std::int64_t readDecimal(const std::wstring& text, std::int64_t limit) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value > (limit - (text[i] - L'0')) / 10 ? limit : value * 10 + (text[i] - L'0');
    return negative ? -value : value;
}

std::int64_t saturatingMultiply(std::int64_t value, std::int64_t factor) {
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    if (value > max / factor)
        return max;
    if (value < -(max / factor))
        return -max;
    return value * factor;
}

} // namespace

bool optionFlag(const std::wstring& value) {
    const std::wstring lower = toLower(value);
    return lower == L"true" || lower == L"on" || lower == L"t";
}

std::int64_t readSize(const std::wstring& value) {
    std::wstring text = toLower(value);
    std::int64_t factor = 1;
    if (!text.empty()) {
        switch (text.back()) {
        case L'k':
            factor = 1024;
            break;
        case L'm':
            factor = 1024 * 1024;
            break;
        case L'g':
            factor = 1024 * 1024 * 1024;
            break;
        default:
            break;
        }
        if (factor != 1)
            text.pop_back();
    }
    return saturatingMultiply(readDecimal(text, std::numeric_limits<std::int64_t>::max()), factor);
}

std::int32_t readInteger(const std::wstring& value) {
    return static_cast<std::int32_t>(readDecimal(value, std::numeric_limits<std::int32_t>::max()));
}

Verbosity readVerbosity(const std::wstring& value) {
    Verbosity result;
    if (value.empty())
        return result;
    const std::wstring lower = toLower(value);
    if (lower == L"normal" || lower == L"all") {
        result.verbose = true;
    } else if (lower == L"gc" || lower == L"class") {
        result.verbose = true;
        result.detail = lower;
    } else if (lower != L"none") {
        result.warning = L"invalid verbosity selection '" + lower + L"', disabling verbosity.\n";
    }
    return result;
}

} // namespace tarrow
