#include "ZipEntryName.h"

#include <algorithm>
#include <vector>

#include "Text.h"

namespace tarrow {

namespace {

bool cleanOnce(std::wstring& name) {
    if (name.size() >= 2 && name[1] == L':') {
        name.erase(0, 2);
        return true;
    }
    if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) {
        name.erase(0, 1);
        return true;
    }
    size_t first = std::wstring::npos;
    for (const wchar_t* step : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
        const size_t at = name.find(step);
        if (at != std::wstring::npos && (first == std::wstring::npos || at < first))
            first = at;
    }
    if (first == std::wstring::npos)
        return false;
    name.erase(0, first + 4);
    return true;
}

} // namespace

std::wstring cleanEntryName(const std::wstring& stored) {
    std::wstring name = stored;
    while (cleanOnce(name)) {
    }
    // What is left may still hold parent steps without a separator in front ("../x"): such
    // steps are dropped, never followed. Spaces around the whole name go first.
    std::wstring result;
    std::wstring step;
    const size_t first = std::min(name.find_first_not_of(L' '), name.size());
    const size_t end = name.find_last_not_of(L' ') + 1; // 0 when it is only spaces
    for (size_t at = first; at <= end; ++at) {
        const wchar_t c = at < end ? name[at] : L'\\';
        if (c != L'\\' && c != L'/') {
            step += c;
            continue;
        }
        if (!step.empty() && step != L"." && step != L"..") {
            if (!result.empty())
                result += L'\\';
            result += step;
        }
        step.clear();
    }
    if (!result.empty() && (endsWith(name, L"\\") || endsWith(name, L"/")))
        result += L"\\";
    // Dropping those steps can bring a drive prefix to the front ("../C:x"): it goes too.
    if (result.size() >= 2 && result[1] == L':')
        return cleanEntryName(result.substr(2));
    return result;
}

std::uint32_t entryAttributes(std::uint32_t versionMadeBy, std::uint32_t externalAttributes) {
    const std::uint32_t host = (versionMadeBy >> 8) & 0xFF;
    if (host == 0 || host == 7 || host == 11 || host == 14)
        return externalAttributes & 0x37;
    std::uint32_t attributes = 0x20; // archive
    if (externalAttributes & (1u << 30))
        attributes |= 0x10;
    if (!(externalAttributes & (1u << 23)))
        attributes |= 0x01;
    return attributes;
}

std::int64_t unixTimeToFileTime(std::int64_t seconds) {
    return (seconds + 11644473600LL) * 10000000LL;
}

std::optional<ExtendedTimes> parseExtendedTimestamp(const unsigned char* field, size_t length) {
    if (length <= 4)
        return std::nullopt;
    size_t at = 0;
    while (at + 4 <= length) {
        const unsigned id = field[at] | (field[at + 1] << 8);
        const size_t size = field[at + 2]; // only the low byte of the length counts
        if (id == 0x5455) {                // "UT"
            ExtendedTimes times;
            size_t value = at + 4;
            if (value >= length)
                return times;
            const unsigned char flags = field[value++];
            auto next = [&](std::optional<std::int64_t>& slot) {
                if (value + 4 > length || value + 4 > at + 4 + size)
                    return;
                const std::int32_t seconds = static_cast<std::int32_t>(
                    field[value] | (field[value + 1] << 8) | (field[value + 2] << 16) |
                    (static_cast<std::uint32_t>(field[value + 3]) << 24));
                slot = unixTimeToFileTime(seconds);
                value += 4;
            };
            if (flags & 1)
                next(times.modification);
            if (flags & 2)
                next(times.access);
            if (flags & 4)
                next(times.creation);
            return times;
        }
        at += 4 + size;
        if (!(at + 4 < length))
            break;
    }
    return std::nullopt;
}

DosDateTime decodeDosDateTime(std::uint32_t dosDate) {
    const std::uint32_t date = dosDate >> 16;
    const std::uint32_t time = dosDate & 0xFFFF;
    return {static_cast<int>(1980 + ((date >> 9) & 0x7F)),
            static_cast<int>((date >> 5) & 0x0F),
            static_cast<int>(date & 0x1F),
            static_cast<int>((time >> 11) & 0x1F),
            static_cast<int>((time >> 5) & 0x3F),
            static_cast<int>(2 * (time & 0x1F))};
}

} // namespace tarrow
