#include "HttpResume.h"

#include "Text.h"

namespace tarrow {

namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Reads the digits at `at` (at least one) into `value`; false on none or on overflow.
bool readNumber(const std::wstring& text, size_t& at, std::uint64_t& value) {
    const size_t start = at;
    value = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[at] - L'0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return at > start;
}

bool skip(const std::wstring& text, size_t& at, wchar_t expected) {
    if (at >= text.size() || text[at] != expected)
        return false;
    ++at;
    return true;
}

void skipSpaces(const std::wstring& text, size_t& at) {
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t'))
        ++at;
}

bool holdsControlCharacter(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < 32 || c == 127)
            return true;
    }
    return false;
}

// Whether the answer names the file that `validator` was taken from.
bool sameFile(const ResumeAnswer& answer, const std::wstring& validator) {
    return trim(answer.entityTag) == validator || trim(answer.lastModified) == validator;
}

bool isWeakTag(const std::wstring& text) {
    return text.compare(0, 2, L"W/") == 0;
}

} // namespace

std::wstring byteCountText(std::uint64_t count) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + count % 10));
        count /= 10;
    } while (count != 0);
    return digits;
}

std::optional<std::uint64_t> parseByteCount(const std::wstring& text) {
    size_t at = 0;
    skipSpaces(text, at);
    std::uint64_t value = 0;
    if (!readNumber(text, at, value))
        return std::nullopt;
    skipSpaces(text, at);
    if (at != text.size())
        return std::nullopt;
    return value;
}

std::optional<ContentRange> parseContentRange(const std::wstring& text) {
    size_t at = 0;
    skipSpaces(text, at);
    const std::wstring unit = L"bytes";
    if (!equalsIgnoreCase(text.substr(at, unit.size()), unit))
        return std::nullopt;
    at += unit.size();
    if (at >= text.size() || (text[at] != L' ' && text[at] != L'\t'))
        return std::nullopt;
    skipSpaces(text, at);
    ContentRange range;
    if (!readNumber(text, at, range.first) || !skip(text, at, L'-') ||
        !readNumber(text, at, range.last) || !skip(text, at, L'/'))
        return std::nullopt;
    if (!skip(text, at, L'*')) {
        std::uint64_t total = 0;
        if (!readNumber(text, at, total))
            return std::nullopt;
        range.total = total;
    }
    skipSpaces(text, at);
    if (at != text.size() || range.first > range.last ||
        (range.total && range.last >= *range.total))
        return std::nullopt;
    return range;
}

ResumePlan judgeResumeAnswer(const ResumeAnswer& answer, std::uint64_t received,
                             std::optional<std::uint64_t> expected, const std::wstring& validator) {
    if (answer.status == 200)
        return {ResumeAction::Replace, parseByteCount(answer.contentLength)};
    const std::optional<ContentRange> range = parseContentRange(answer.contentRange);
    if (answer.status != 206 || !range)
        return {};
    // A piece that ends before the end of the file cannot complete it.
    if (range->total && range->last + 1 != *range->total)
        return {};
    const std::optional<std::uint64_t> total = range->total ? range->total : expected;
    if (range->first == 0 && range->total)
        return {ResumeAction::Replace, total};
    if (range->first != received || (expected && total != expected))
        return {};
    if (!validator.empty() && !sameFile(answer, validator))
        return {};
    return {ResumeAction::Append, total};
}

std::wstring resumeValidator(const std::wstring& entityTag, const std::wstring& lastModified) {
    const std::wstring tag = trim(entityTag);
    if (!tag.empty() && !isWeakTag(tag) && !holdsControlCharacter(tag))
        return tag;
    const std::wstring date = trim(lastModified);
    if (!date.empty() && !holdsControlCharacter(date))
        return date;
    return std::wstring();
}

std::wstring resumeHeaders(std::uint64_t from, const std::wstring& validator) {
    if (from == 0)
        return std::wstring();
    std::wstring headers = L"Range: bytes=" + byteCountText(from) + L"-\r\n";
    if (!validator.empty() && !holdsControlCharacter(validator))
        headers += L"If-Range: " + validator + L"\r\n";
    return headers;
}

} // namespace tarrow
