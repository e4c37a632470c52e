// Extracting one archive's entries below a folder: the folders first, each once, then the files
// on several threads, each thread with its own reader of the archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ZipReader.h"

namespace tarrow {

struct EarlyEntries;

// An archive's entries as one reader found them.
struct ArchiveEntries {
    std::int32_t count = 0;          // in the archive
    std::int32_t skipped = 0;        // for names that leave nothing inside the folder
    std::vector<std::int32_t> files; // the file entries, the largest first; -1 where a later
                                     // entry of the same path replaces one, or where
                                     // the entry was written as the archive arrived
    bool earlyRejected = false;      // what was written so differs from the directory
};

// Reads every entry of the archive and makes the folders below `base` that the entries name or
// lie in, each once, by the one reader; false, traced, at the first entry that cannot be read.
// Entries whose names leave nothing inside `base` are traced and left out. Entries that `early`
// wrote below `base` alike are not written again; false, with `earlyRejected`, when any entry
// it wrote is not in the directory alike, or the directory names one path twice.
bool listEntries(ZipReader& reader, const std::wstring& base, ArchiveEntries& listed,
                 const EarlyEntries* early = nullptr);

// Extracts the listed entries of the archive that fills `window` of the file at `path` below
// `base`. The readers of the threads go to the entries at the positions `lister` found. Every
// file written is closed by the time it returns. False when an entry cannot be read, is
// damaged or cannot be written: no further entry is started, and the first failure is traced.
// An exception raised while an entry was written is raised again here.
bool extractEntries(const std::wstring& path, FileWindow window, const ZipReader& lister,
                    const ArchiveEntries& listed, const std::wstring& base);

} // namespace tarrow
