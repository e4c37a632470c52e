// Fetching a VM pack from an HTTP, HTTPS or FTP URL into a local file, with progress marks.
#pragma once

#include <string>

#include "StreamDigest.h"
#include "UniqueHandle.h"

namespace tarrow {

class PackArrival;

struct DownloadSettings {
    bool silent = false; // no console output at all
    bool md5 = false;    // digests computed from the bytes as they are written
    bool sha256 = false;
    PackArrival* arrival = nullptr; // told of the bytes on disk as they are written
};

// A pack that arrived whole. Its file stays open until `file` is released: meanwhile no other
// program (nor another handle of this one that does not share writing) can write, rename or
// delete it, so that what is installed from it is what was digested. Readers that share writing
// can read it.
struct DownloadedPack {
    UniqueHandle file; // none when the download failed
    // Of the bytes written, those the settings asked for, by DigestKind.
    Digest digests[2];

    Digest& digest(DigestKind kind) { return digests[static_cast<int>(kind)]; }
};

// True when the whole file arrived at `destination`, from the server, never from the user's
// Internet cache, and leaving no copy there. An HTTP transfer that breaks off (a read fails, or
// the file on disk is not the announced size) is resumed from the size on disk with a "Range"
// request, up to three times. The request carries "If-Range" with the first answer's entity tag
// (else its modification date): a file that changed on the server comes whole instead of being
// spliced. An answer is appended only when it starts where the file on disk ends; an answer with
// the whole file replaces it; any other answer starts the file again. A download that still does
// not complete fails and leaves no file behind. The digests are of the bytes written: a resumed
// transfer digests the part it keeps by reading it from the file, then what arrives.
DownloadedPack downloadVmPack(const std::wstring& url, const std::wstring& destination,
                              const DownloadSettings& settings);

} // namespace tarrow
