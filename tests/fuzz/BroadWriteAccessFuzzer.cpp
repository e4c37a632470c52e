// Security descriptors as Windows hands them over, or damaged: the judgement reads only inside
// the bytes, names a group and a right exactly when it finds a grant, and a folder, for which
// more rights count, is never judged safer than a file with the same descriptor.
#include "BroadWriteAccess.h"
#include "FuzzInput.h"

using tarrow::BroadWrite;
using tarrow::BroadWriteOutcome;
using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const BroadWrite file = tarrow::judgeBroadWriteAccess(data, size, false);
    const BroadWrite folder = tarrow::judgeBroadWriteAccess(data, size, true);
    for (const BroadWrite& b : {file, folder}) {
        const bool granted = b.outcome == BroadWriteOutcome::Granted;
        require(granted == (b.group != nullptr) && granted == (b.right != nullptr),
                "a group and a right are named exactly for a grant");
    }
    require((file.outcome == BroadWriteOutcome::Unreadable) ==
                (folder.outcome == BroadWriteOutcome::Unreadable),
            "whether the bytes can be read does not depend on the object's kind");
    require(file.outcome != BroadWriteOutcome::Granted ||
                folder.outcome == BroadWriteOutcome::Granted,
            "what a group may change in a file it may change in a folder");
    return 0;
}
