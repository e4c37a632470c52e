// The entries of one archive handed out to several writing threads. Platform-free.
#pragma once

#include <atomic>
#include <cstdint>

namespace tarrow {

// Hands out the slots 0..count-1, each once, to several threads, and keeps the first failure:
// once an entry failed, no further slot is handed out. The failure fields are written only by
// the one fail() call that wins, and read by the owner after every thread has ended.
class EntryQueue {
  public:
    explicit EntryQueue(std::size_t count) : count_(count) {}

    // The next slot; false when all are handed out or an entry failed.
    bool take(std::size_t& slot);
    // The result of an entry whose writing raised an exception.
    static constexpr int kRaised = -1;
    // Records the entry's failure (result non-zero, or kRaised); only the first call of all
    // threads is kept.
    void fail(std::int32_t index, int result);

    // Counts an entry as done, written whole.
    void done() { done_.fetch_add(1); }
    // How many entries are done so far, for a display.
    std::size_t doneCount() const { return done_.load(); }

    bool failed() const { return claimed_.load(); }
    std::int32_t failedIndex() const { return failedIndex_; }
    int failedResult() const { return failedResult_; }
    bool raised() const { return failedResult_ == kRaised; }

  private:
    const std::size_t count_;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> claimed_{false};
    std::int32_t failedIndex_ = -1;
    int failedResult_ = 0;
};

} // namespace tarrow
