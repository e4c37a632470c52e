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

std::optional<LaunchOwner> ownLaunchOwner() {
    return launchOwnerOf(GetCurrentProcessId());
}

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
    const auto started = creationTime(process.get());
    if (!started)
        return OwnerState::Running; // cannot tell: the file stays
    if (*started != owner.started)
        return OwnerState::Ended;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT ? OwnerState::Running
                                                                 : OwnerState::Ended;
}

} // namespace tarrow
