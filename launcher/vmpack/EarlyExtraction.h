// Writing a VM pack's entries while the pack still arrives: the local headers of its stored
// vm.zip lead the way, and the pack's directories decide at the end (listEntries) which of the
// files written so count.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "LocalHeader.h"
#include "UniqueHandle.h"

namespace tarrow {

struct ZipEntry;

// How much of a pack being downloaded is on disk, from the download to the one thread that
// waits for it. The download is the one place that changes it.
class PackArrival {
  public:
    PackArrival();
    // The first `bytes` of the file are on disk and stay as they are.
    void arrived(std::uint64_t bytes);
    // The download ended: no more bytes come.
    void end();
    // The bytes on disk are no longer those told (the download starts the file again).
    void rewind();
    // Waits until the first `bytes` are on disk; false when they never will be, or `abandon` is
    // set meanwhile.
    bool waitFor(std::uint64_t bytes, const std::atomic<bool>& abandon) const;
    bool rewound() const { return rewound_; }
    // Wakes the waiting thread, to look at its stop flag.
    void wake() const { SetEvent(changed_.get()); }

  private:
    std::atomic<std::uint64_t> bytes_{0};
    std::atomic<bool> ended_{false};
    std::atomic<bool> rewound_{false};
    UniqueHandle changed_;
};

// An entry of vm.zip written whole as the pack arrived: its name (cleaned), where its data
// starts in vm.zip, and its local header.
struct EarlyEntry {
    std::wstring name;
    std::uint64_t dataAt = 0;
    LocalHeader header;
    bool folder = false;
};

// What was written into `folder` as the pack arrived, in archive order.
struct EarlyEntries {
    std::wstring folder;
    std::uint64_t archiveAt = 0; // where vm.zip's data starts in the pack; 0: not found
    std::vector<EarlyEntry> entries;

    // The place in `entries` of the entry written here that `entry` of vm.zip's directory is,
    // alike in every field and with no attributes to keep; -1 when none is.
    std::ptrdiff_t written(const ZipEntry& entry, bool isFolder) const;
};

// A thread that follows the pack at `pack` as `arrival` tells and writes the entries of its
// stored vm.zip into `folder`, emptied first, one after another, each as its bytes arrive.
// It stops at the end of vm.zip's entries, at the first it cannot write so (a data descriptor,
// 64-bit sizes, encryption, another method), at damaged data (the file is removed), or when
// the download starts the file again.
class EarlyExtraction {
  public:
    EarlyExtraction(const std::wstring& pack, const std::wstring& folder,
                    const PackArrival& arrival);
    // Stops it now; the folder is then removed unless it was moved into place meanwhile.
    ~EarlyExtraction();
    EarlyExtraction(const EarlyExtraction&) = delete;
    EarlyExtraction& operator=(const EarlyExtraction&) = delete;

    // Lets the entry being written end, stops and gives what was written whole; none when the
    // download started the file again or the early writing was discarded (damaged data, a
    // failed write, a cancel, the bound on inflation).
    const EarlyEntries& finish();

  private:
    static DWORD WINAPI run(void* self);
    void follow();
    bool readAt(std::uint64_t at, void* buffer, DWORD size);
    bool header(std::uint64_t at, LocalHeader& header, std::string& name,
                std::vector<unsigned char>& extra);
    bool writeEntry(std::uint64_t dataAt, const LocalHeader& header, const std::wstring& path,
                    const std::vector<unsigned char>& extra);
    // The entry's data inflated or copied into `out`; false when it is damaged or the writing
    // fails.
    bool copyData(std::uint64_t at, const LocalHeader& header, HANDLE out);
    struct Check {
        std::uint32_t size = 0;
        unsigned long crc = 0;
    };
    bool put(HANDLE out, const unsigned char* bytes, DWORD count, Check& check,
             const LocalHeader& header);
    // Ends the early writing: what it wrote counts for nothing.
    void discard() { written_.archiveAt = 0; }

    const std::wstring pack_;
    const PackArrival& arrival_;
    EarlyEntries written_;
    UniqueHandle file_;
    std::uint64_t readTo_ = 0;         // of the pack
    std::uint64_t wrote_ = 0;          // bytes of files, bounded by what was read
    std::atomic<bool> finish_{false};  // after the entry being written
    std::atomic<bool> abandon_{false}; // at once
    UniqueHandle thread_;
};

} // namespace tarrow
