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

// What opening the process that now has an owner's id found.
enum class ProcessAccess { Opened, Refused, Absent };

// The state of `owner` from what is known of the process that now has its id: whether it is
// still active and when it started (nothing for what Windows did not tell). Running only when it
// is active and started when the owner did; Unknown when it cannot be opened (another user's
// process: refused), or its activity or creation time cannot be read, which leaves the file to be
// judged by its age alone; Ended otherwise.
OwnerState judgeOwner(const LaunchOwner& owner, ProcessAccess access, std::optional<bool> active,
                      std::optional<std::uint64_t> started);

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
