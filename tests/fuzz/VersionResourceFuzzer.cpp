// Version resources of programs the launcher does not control: the input is a whole file.
// Finding the resource reads only inside the file and returns at most the largest resource;
// reading its blocks returns texts that fit inside what was found.
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "PeVersionResource.h"
#include "VersionInfoBlock.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto found = tarrow::readPeVersionResource(
        [data, size](std::uint64_t offset, std::uint8_t* out, size_t count) {
            require(count <= (size_t{1} << 20), "no read is larger than a directory can be");
            if (offset > size || size - offset < count)
                return false;
            std::memcpy(out, data + offset, count);
            return true;
        });
    // The input itself read as the resource's blocks, and whatever the image held.
    std::vector<std::vector<std::uint8_t>> resources{std::vector<std::uint8_t>(data, data + size)};
    if (found) {
        require(found->size() <= tarrow::kMaxVersionResourceBytes, "the resource is capped");
        resources.push_back(*found);
    }
    for (const auto& resource : resources) {
        tarrow::fixedFileVersion(resource);
        const auto text =
            tarrow::versionText(resource, {L"StringFileInfo", L"040904b0", L"CompanyName"});
        require(!text || text->size() * 2 <= resource.size(), "a text fits in its data");
    }
    return 0;
}
