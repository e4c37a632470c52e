#include "ServiceFileTrust.h"

#include <windows.h>

#include <string>

#include "BroadWriteAccess.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "Settings.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

// Room for any descriptor that holds only a DACL: its header and an ACL of at most 64 KB.
constexpr DWORD kDescriptorRoom = 20 + 65536;

// What `path` lets ordinary users do, in words ("Users may create files in "C:\App""); empty
// when they may change nothing.
std::wstring judge(const std::wstring& path, bool folder) {
    alignas(4) BYTE descriptor[kDescriptorRoom];
    DWORD needed = 0;
    BroadWrite found{BroadWriteOutcome::Unreadable};
    if (GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                         &needed))
        found = judgeBroadWriteAccess(
            descriptor, needed < sizeof descriptor ? needed : sizeof descriptor, folder);
    std::wstring words;
    if (found.outcome == BroadWriteOutcome::Granted)
        words.append(found.group).append(L" may ").append(found.right).append(L" \"");
    else if (found.outcome == BroadWriteOutcome::Unreadable)
        words.append(L"who may change \"");
    else
        return words;
    words.append(path).append(L"\"");
    if (found.outcome == BroadWriteOutcome::Unreadable)
        words.append(L" could not be read");
    return words;
}

} // namespace

void checkServiceFiles(const ServiceRegistration& registration, const std::wstring& program,
                       const std::wstring& properties, const PropertySet& settings) {
    if (!runsAsSystemAccount(registration))
        return;
    const bool accepted = settings::serviceAllowsWritableFiles(settings);
    // The folder holding the launcher, the launcher, its ".kiv", and "jvmspecs" where it exists.
    const std::wstring folder = containingFolder(program);
    const std::wstring specs = (endsWith(folder, L"\\") ? folder : folder + L"\\") + L"jvmspecs";
    const std::wstring* const objects[] = {&folder, &program, &properties, &specs};
    for (const std::wstring* path : objects) {
        if (path == &specs && !isDirectory(specs))
            break;
        const std::wstring found = judge(*path, path == &folder || path == &specs);
        if (found.empty())
            continue;
        trace(found);
        if (accepted)
            continue;
        std::wstring line = L"the service \"";
        line.append(registration.name)
            .append(L"\" was not installed: ")
            .append(found)
            .append(L", and the service would trust it as ")
            .append(registration.account.empty() ? L"LocalSystem" : registration.account)
            .append(L"; put the application in a folder that only administrators can change, "
                    L"such as one under Program Files, or accept the risk with "
                    L"kiv.nl.service.allow.writable.files=true");
        throw TerminalError(line);
    }
}

} // namespace tarrow
