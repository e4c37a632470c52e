#include "OptionText.h"

#include <algorithm>
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

int readHeapShare(const std::wstring& value) {
    if (value.size() < 2 || value.size() > 4 || value.back() != L'%')
        return 0;
    int share = 0;
    for (size_t i = 0; i + 1 < value.size(); ++i) {
        if (value[i] < L'0' || value[i] > L'9')
            return 0;
        share = share * 10 + (value[i] - L'0');
    }
    return share >= 1 && share <= 100 ? share : 0;
}

std::int64_t heapShareMegabytes(int share, std::uint64_t physicalBytes, bool vm32Bit) {
    constexpr std::uint64_t kMegabyte = 1024 * 1024;
    constexpr std::int64_t kMost32Bit = 1024;
    if (physicalBytes == 0)
        return 0;
    const std::uint64_t percent = static_cast<unsigned>(share);
    // The exact share, rounded down, without overflow: 100q + r bytes give q·N + r·N/100.
    const std::uint64_t bytes = physicalBytes / 100 * percent + physicalBytes % 100 * percent / 100;
    const std::uint64_t megabytes = bytes / kMegabyte;
    const std::int64_t result = std::max<std::int64_t>(1, static_cast<std::int64_t>(megabytes));
    return vm32Bit ? std::min(result, kMost32Bit) : result;
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
