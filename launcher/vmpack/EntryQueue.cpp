#include "EntryQueue.h"

namespace tarrow {

bool EntryQueue::take(std::size_t& slot) {
    if (claimed_.load())
        return false;
    slot = next_.fetch_add(1);
    return slot < count_;
}

void EntryQueue::fail(std::int32_t index, int result) {
    if (claimed_.exchange(true))
        return;
    failedIndex_ = index;
    failedResult_ = result;
}

} // namespace tarrow
