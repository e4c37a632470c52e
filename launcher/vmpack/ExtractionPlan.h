// What an archive's extraction does before and while its entries are written: the folders made
// once beforehand, the order the files are handed out in, and the queue several writers share.
// Platform-free.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace tarrow {

// One entry to extract, with its cleaned relative name ("\" separators).
struct PlannedEntry {
    std::int32_t index = 0;
    std::wstring name;
    bool folder = false;
    std::uint64_t compressedSize = 0;
};

// Leaves out every file entry whose name (case aside) a later file entry has too: as on one
// writer, the last of them is the one that stays.
void keepLastOfEachName(std::vector<PlannedEntry>& entries);

// Every folder the entries need, relative to the base: the folder entries themselves and the
// folders of the files, with all their parents; each once, every parent before its children.
std::vector<std::wstring> foldersToMake(const std::vector<PlannedEntry>& entries);

// The file entries (folders left out) in the order they are handed out: the largest compressed
// first, so that the longest entry starts at once and the small ones fill in beside it.
std::vector<PlannedEntry> filesLargestFirst(const std::vector<PlannedEntry>& entries);

// Hands out the slots 0..count-1, each once, to several threads, and keeps the first failure:
// once an entry failed, no further slot is handed out. The failure fields are written only by
// the one fail() call that wins and read by the owner after every thread has ended.
class EntryQueue {
  public:
    explicit EntryQueue(size_t count) : count_(count) {}

    // The next slot; false when all are handed out or an entry failed.
    bool take(size_t& slot);
    // Records the entry's failure (result non-zero) and, when one was raised, its exception;
    // only the first call of all threads is kept.
    void fail(std::int32_t index, int result, std::exception_ptr raised = nullptr);

    bool failed() const { return claimed_.load(); }
    std::int32_t failedIndex() const { return failedIndex_; }
    int failedResult() const { return failedResult_; }
    // Raises the failed entry's exception, if it had one.
    void rethrow() const;

  private:
    const size_t count_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> claimed_{false};
    std::int32_t failedIndex_ = -1;
    int failedResult_ = 0;
    std::exception_ptr raised_;
};

} // namespace tarrow
