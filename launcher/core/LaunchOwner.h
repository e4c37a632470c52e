// The owner of a launch file: the launcher process that made it, named by its process id and
// its creation time (an id alone is reused once its process has ended). The record lives in a
// file of its own beside the launch file, so that the launch file keeps the bytes its readers
// (the VM among them) expect. Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarrow {

struct LaunchOwner {
    std::uint32_t processId = 0;
    // The process creation time, in the 100-nanosecond units of a FILETIME.
    std::uint64_t started = 0;
};

// Whether a launch file's owner still runs, as far as the sweep can tell.
enum class OwnerState { Unknown, Running, Ended };

// "kiv owner <id> <creation time>" and CR LF, both numbers in decimal.
std::string ownerRecordText(const LaunchOwner& owner);

// The owner named by `content`, which must be exactly what ownerRecordText writes (decimal
// digits without leading zeros, each number within its width); nothing for anything else.
std::optional<LaunchOwner> parseOwnerRecord(std::string_view content);

// The owner record's path for the launch file at `path`: "kiv1A2B.tmp" gives
// "kiv1A2B-owner.tmp", which the sweep's "kiv*.tmp" listing also finds. Empty when `path` does
// not end in ".tmp" or is itself an owner record's path.
std::wstring ownerRecordPath(const std::wstring& path);

} // namespace tarrow
