#include "LaunchOwner.h"

#include <limits>

namespace tarrow {

namespace {

const char kHead[] = "kiv launch owner ";
const wchar_t kOwnerSuffix[] = L"-owner.tmp";

// The decimal number at `at` up to `end` (exclusive), at most `limit`; no sign, no leading zero.
std::optional<std::uint64_t> decimalAt(const std::string& text, size_t at, size_t end,
                                       std::uint64_t limit) {
    if (at >= end || (text[at] == '0' && end - at > 1))
        return std::nullopt;
    std::uint64_t value = 0;
    for (size_t i = at; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

std::string ownerRecordText(const LaunchOwner& owner) {
    return kHead + std::to_string(owner.processId) + " " + std::to_string(owner.started) + "\r\n";
}

std::optional<LaunchOwner> parseOwnerRecord(const std::string& content) {
    const std::string head = kHead;
    if (content.size() < head.size() + 2 || content.compare(0, head.size(), head) != 0 ||
        content.compare(content.size() - 2, 2, "\r\n") != 0)
        return std::nullopt;
    const size_t end = content.size() - 2;
    const size_t space = content.find(' ', head.size());
    if (space >= end)
        return std::nullopt;
    const auto id =
        decimalAt(content, head.size(), space, std::numeric_limits<std::uint32_t>::max());
    const auto started =
        decimalAt(content, space + 1, end, std::numeric_limits<std::uint64_t>::max());
    if (!id || !started)
        return std::nullopt;
    return LaunchOwner{static_cast<std::uint32_t>(*id), *started};
}

std::wstring ownerRecordPath(const std::wstring& path) {
    const std::wstring extension = L".tmp";
    if (!endsWith(path, extension) || endsWith(path, kOwnerSuffix))
        return std::wstring();
    return path.substr(0, path.size() - extension.size()) + kOwnerSuffix;
}

} // namespace tarrow
