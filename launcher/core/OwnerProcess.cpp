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
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner.processId));
    if (!process)
        return judgeOwner(owner,
                          GetLastError() == ERROR_ACCESS_DENIED ? ProcessAccess::Refused
                                                                : ProcessAccess::Absent,
                          std::nullopt, std::nullopt);
    DWORD exitCode = 0;
    const std::optional<bool> active = GetExitCodeProcess(process.get(), &exitCode)
                                           ? std::optional<bool>(exitCode == STILL_ACTIVE)
                                           : std::nullopt;
    return judgeOwner(owner, ProcessAccess::Opened, active, creationTime(process.get()));
}

} // namespace tarrow
