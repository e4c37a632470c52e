// The list of RAS connections, grown until RAS has room to report all of them.
#pragma once

#include "RasRecords.h"
#include "UniqueHandle.h"

namespace tarrow {

class ConnectionList {
  public:
    // Lists the connections: starts with room for one record and grows to the size RAS asks
    // for, at most four times.
    ConnectionList();

    // 0 on success, else the RAS code (8 for a failed allocation).
    DWORD result() const { return result_; }
    // The count RAS last wrote (0 when it wrote none).
    DWORD count() const { return count_; }
    const RasConnection& operator[](DWORD i) const { return records()[i]; }

  private:
    RasConnection* records() const { return static_cast<RasConnection*>(block_.get()); }

    UniqueHeapBlock block_;
    DWORD count_ = 0;
    DWORD result_ = 0;
};

} // namespace tarrow
