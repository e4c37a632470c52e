#include "ConnectionList.h"

namespace tarrow {

namespace {
constexpr int kRetries = 4;
}

ConnectionList::ConnectionList() {
    DWORD size = sizeof(RasConnection);
    for (int retries = kRetries;; --retries) {
        block_.reset(); // the previous try's block goes before the next is taken
        block_.reset(HeapAlloc(GetProcessHeap(), 0, size));
        if (!block_) {
            result_ = ERROR_NOT_ENOUGH_MEMORY;
            return;
        }
        records()[0].dwSize = sizeof(RasConnection);
        result_ = enumConnections(records(), &size, &count_);
        if (result_ != ERROR_BUFFER_TOO_SMALL || retries == 0)
            return;
    }
}

} // namespace tarrow
