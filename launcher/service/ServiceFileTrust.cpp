#include "ServiceFileTrust.h"

#include <windows.h>

#include <vector>

#include "BroadWriteAccess.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "Settings.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

struct Finding {
    BroadWrite access;
    DWORD error = 0; // why the descriptor could not be read, when Windows said
};

// The descriptor may grow between the call that sizes it and the call that reads it.
constexpr int kReadAttempts = 3;

Finding judge(const std::wstring& path, bool folder) {
    DWORD needed = 0;
    std::vector<BYTE> descriptor;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(),
                             static_cast<DWORD>(descriptor.size()), &needed))
            return {judgeBroadWriteAccess(descriptor.data(), descriptor.size(), folder)};
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size())
            return {{BroadWriteOutcome::Unreadable}, error};
        descriptor.resize(needed);
    }
    return {{BroadWriteOutcome::Unreadable}, ERROR_INSUFFICIENT_BUFFER};
}

// "Users may create files in "C:\App"", or why that could not be told.
std::wstring describe(const Finding& f, const std::wstring& path) {
    const std::wstring quoted = L"\"" + path + L"\"";
    if (f.access.outcome == BroadWriteOutcome::Granted)
        return std::wstring(f.access.group) + L" may " + f.access.right + L" " + quoted;
    return L"who may change " + quoted + L" could not be read" +
           (f.error ? L" (Windows error " + decimal(f.error) + L")" : L"");
}

} // namespace

void checkServiceFiles(const ServiceRegistration& registration, const std::wstring& program,
                       const std::wstring& properties, const PropertySet& settings) {
    const std::wstring account =
        registration.account.empty() ? L"LocalSystem" : registration.account;
    if (!runsAsSystemAccount(registration)) {
        trace(L"service " + registration.name + L" runs as " + account +
              L": who may change its files is not checked");
        return;
    }
    const std::wstring folder = containingFolder(program);
    const std::wstring specs = folder + (endsWith(folder, L"\\") ? L"" : L"\\") + L"jvmspecs";
    std::vector<std::pair<std::wstring, bool>> objects = {
        {folder, true}, {program, false}, {properties, false}};
    if (isDirectory(specs)) {
        objects.push_back({specs, true});
        if (exists(specs + L"\\jvmspecs.properties"))
            objects.push_back({specs + L"\\jvmspecs.properties", false});
    }
    std::wstring first;
    for (const auto& [path, isFolder] : objects) {
        const Finding f = judge(path, isFolder);
        if (f.access.outcome == BroadWriteOutcome::None) {
            trace(L"service file \"" + path + L"\": no group of ordinary users may change it");
            continue;
        }
        trace(L"service file: " + describe(f, path));
        if (first.empty())
            first = describe(f, path);
    }
    if (first.empty())
        return;
    if (settings::serviceAllowsWritableFiles(settings)) {
        trace(L"service " + registration.name + L" is installed all the same: " +
              settings::kServiceAllowWritableFiles + L" accepts the risk");
        return;
    }
    throw TerminalError(L"the service \"" + registration.name + L"\" was not installed: " + first +
                        L", and the service would trust it as " + account +
                        L"; put the application in a folder that only administrators can "
                        L"change, such as one under Program Files");
}

} // namespace tarrow
