// What a ZIP entry's stored name and fields mean on disk. Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarrow {

// The name cleaning of the extraction: repeatedly drops a drive prefix, a leading "\" or "/",
// and everything up to and including the first parent step with separators on both sides;
// then every remaining "." or ".." step (and empty step) is dropped, so that the result is
// always a relative path inside the base folder. Separators become "\". An empty result means
// the entry has no name left and is skipped.
std::wstring cleanEntryName(const std::wstring& stored);

// File attributes of an entry from the host byte of "version made by" and the external
// attributes: DOS-family hosts keep the low bits; other hosts (Unix) give directory from bit 30,
// read-only when the owner-write bit 23 is clear, and archive.
std::uint32_t entryAttributes(std::uint32_t versionMadeBy, std::uint32_t externalAttributes);

// The times of an "UT" (extended timestamp) block in a local extra field, as 100-nanosecond
// counts since 1601-01-01 UTC.
struct ExtendedTimes {
    std::optional<std::int64_t> modification;
    std::optional<std::int64_t> access;
    std::optional<std::int64_t> creation;
};
std::optional<ExtendedTimes> parseExtendedTimestamp(const unsigned char* field, size_t length);

// Seconds since 1970-01-01 UTC as 100-nanosecond units since 1601-01-01.
std::int64_t unixTimeToFileTime(std::int64_t seconds);

struct DosDateTime {
    int year, month, day, hour, minute, second;
};
// The fields of a DOS date (high 16 bits) and time (low 16 bits).
DosDateTime decodeDosDateTime(std::uint32_t dosDate);

} // namespace tarrow
