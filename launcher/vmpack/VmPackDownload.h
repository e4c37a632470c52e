// Fetching a VM pack from an HTTP, HTTPS or FTP URL into a local file, with progress marks.
#pragma once

#include <string>

namespace tarrow {

struct DownloadSettings {
    bool silent = false; // no console output at all
};

// True when the whole file arrived at `destination`, from the server, never from the user's
// Internet cache, and leaving no copy there. An HTTP transfer that breaks off (a read fails, or
// the file on disk is not the announced size) is resumed from the size on disk with a "Range"
// request, up to three times. The request carries "If-Range" with the first answer's entity tag
// (else its modification date): a file that changed on the server comes whole instead of being
// spliced. An answer is appended only when it starts where the file on disk ends; an answer with
// the whole file replaces it; any other answer starts the file again. A download that still does
// not complete fails and leaves no file behind.
bool downloadVmPack(const std::wstring& url, const std::wstring& destination,
                    const DownloadSettings& settings);

} // namespace tarrow
