// Owner records beside launch files, which anyone who can write the temporary folder can write:
// a record reads back only as exactly the text the launcher writes for it, and the judgement of
// any bytes as a launch file agrees with that reading.
#include <string>

#include "FuzzInput.h"
#include "LaunchFileContent.h"
#include "LaunchOwner.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    const auto owner = tarrow::parseOwnerRecord(content);
    if (owner)
        require(tarrow::ownerRecordText(*owner) == content, "a record is read only as written");
    if (tarrow::launchFileKind(content) == tarrow::LaunchFileKind::OwnerRecord)
        require(owner.has_value(), "a file judged an owner record names its owner");
    return 0;
}
