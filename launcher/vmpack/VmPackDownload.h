// Fetching a VM pack from an HTTP, HTTPS or FTP URL into a local file, with progress marks.
#pragma once

#include <string>

namespace tarrow {

struct DownloadSettings {
    bool silent = false; // no console output at all
};

// True when the whole file arrived at `destination`, from the server, never from the user's
// Internet cache, and leaving no copy there. An HTTP transfer that breaks off (a read fails, or
// less than the announced length arrived) is resumed from where it stopped with a "Range"
// request, up to three times; a server that answers with the whole file starts it again. A
// download that still does not complete fails and leaves no file behind.
bool downloadVmPack(const std::wstring& url, const std::wstring& destination,
                    const DownloadSettings& settings);

} // namespace tarrow
