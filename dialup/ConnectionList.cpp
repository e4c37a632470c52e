#include "ConnectionList.h"

namespace tarrow {

namespace {
constexpr int kRetries = 4;
}

ConnectionList::ConnectionList() {
    DWORD size = sizeof(RasConnection);
    for (int retries = kRetries;; --retries) {
        if (records_)
            HeapFree(GetProcessHeap(), 0, records_);
        records_ = static_cast<RasConnection*>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!records_) {
            result_ = ERROR_NOT_ENOUGH_MEMORY;
            return;
        }
        records_[0].dwSize = sizeof(RasConnection);
        result_ = enumConnections(records_, &size, &count_);
        if (result_ != ERROR_BUFFER_TOO_SMALL || retries == 0)
            return;
    }
}

ConnectionList::~ConnectionList() {
    if (records_)
        HeapFree(GetProcessHeap(), 0, records_);
}

} // namespace tarrow
