#include "LaunchOwner.h"

#include <limits>

namespace tarrow {

namespace {

const char kHead[] = "kiv owner ";
const wchar_t kOwnerSuffix[] = L"-owner.tmp";

void appendDecimal(std::string& text, std::uint64_t value) {
    char digits[20];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        text += digits[--count];
}

// The decimal number at `at`, at most `limit`, up to the first character that is not a digit
// (`at` then points to it); nothing for no digits, a leading zero or a larger number.
std::optional<std::uint64_t> decimalAt(std::string_view text, size_t& at, std::uint64_t limit) {
    const size_t start = at;
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (at == start || (text[start] == '0' && at - start > 1))
        return std::nullopt;
    return value;
}

} // namespace

OwnerState judgeOwner(const LaunchOwner& owner, ProcessAccess access, std::optional<bool> active,
                      std::optional<std::uint64_t> started) {
    if (access == ProcessAccess::Absent)
        return OwnerState::Ended;
    if (access == ProcessAccess::Refused)
        return OwnerState::Unknown;
    if (started && *started != owner.started)
        return OwnerState::Ended; // the id now names another process
    if (active && !*active)
        return OwnerState::Ended;
    return active && started ? OwnerState::Running : OwnerState::Unknown;
}

std::string ownerRecordText(const LaunchOwner& owner) {
    std::string text = kHead;
    appendDecimal(text, owner.processId);
    text += ' ';
    appendDecimal(text, owner.started);
    text += "\r\n";
    return text;
}

std::optional<LaunchOwner> parseOwnerRecord(std::string_view content) {
    if (!content.starts_with(kHead))
        return std::nullopt;
    size_t at = sizeof kHead - 1;
    const auto id = decimalAt(content, at, std::numeric_limits<std::uint32_t>::max());
    if (!id || at >= content.size() || content[at++] != ' ')
        return std::nullopt;
    const auto started = decimalAt(content, at, std::numeric_limits<std::uint64_t>::max());
    if (!started || content.size() - at != 2 || !content.ends_with("\r\n"))
        return std::nullopt;
    return LaunchOwner{static_cast<std::uint32_t>(*id), *started};
}

std::wstring ownerRecordPath(const std::wstring& path) {
    std::wstring record = path;
    if (path.size() < 4 || path.compare(path.size() - 4, 4, L".tmp") != 0 ||
        path.find(kOwnerSuffix) != std::wstring::npos)
        return std::wstring();
    record.insert(path.size() - 4, kOwnerSuffix, 6); // "-owner" before ".tmp"
    return record;
}

} // namespace tarrow
