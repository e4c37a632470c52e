#include "OwnerProcess.h"

#include "UniqueHandle.h"

namespace tarrow {

namespace {

std::optional<std::uint64_t> creationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return std::nullopt;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

std::optional<LaunchOwner> launchOwnerOf(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    const auto started = process ? creationTime(process.get()) : std::nullopt;
    if (!started)
        return std::nullopt;
    return LaunchOwner{processId, *started};
}

OwnerState ownerState(const LaunchOwner& owner) {
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, owner.processId));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED ? OwnerState::Running : OwnerState::Ended;
    // A creation time that cannot be read leaves the process taken for the owner.
    const auto started = creationTime(process.get());
    return (!started || *started == owner.started) &&
                   WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT
               ? OwnerState::Running
               : OwnerState::Ended;
}

} // namespace tarrow
