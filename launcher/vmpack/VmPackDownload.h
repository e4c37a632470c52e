// Fetching a VM pack from an HTTP, HTTPS or FTP URL into a local file, with progress marks.
#pragma once

#include <string>

namespace tarrow {

struct DownloadSettings {
    bool silent = false; // no console output at all
};

// True when the whole file arrived at `destination`. A transfer that breaks off, or that
// delivers less than the server announced, fails and leaves no file behind.
bool downloadVmPack(const std::wstring& url, const std::wstring& destination,
                    const DownloadSettings& settings);

} // namespace tarrow
