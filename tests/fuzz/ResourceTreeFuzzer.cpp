// Resource sections as branding reads them from the launcher it copies. Reading either refuses
// the bytes or gives a tree that the writer lays out so that reading it back gives the same
// tree, and writing that gives the same bytes.
#include "Errors.h"
#include "FuzzInput.h"
#include "ResourceTree.h"

using tarrow::fuzz::require;

namespace {

// The section is mapped at this address in the fuzzer's images.
constexpr std::uint32_t kAddress = 0x1000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    tarrow::ResourceTree tree;
    try {
        tree = tarrow::readResourceTree(tarrow::Bytes(data, data + size), kAddress);
    } catch (const tarrow::TerminalError&) {
        return 0;
    }
    const tarrow::Bytes written = tarrow::writeResourceTree(tree, kAddress);
    const tarrow::ResourceTree again = tarrow::readResourceTree(written, kAddress);
    require(tarrow::writeResourceTree(again, kAddress) == written, "writing is repeatable");
    require(again.size() == tree.size(), "every resource is written");
    for (size_t i = 0; i < tree.size(); ++i) {
        for (size_t level = 0; level < 3; ++level)
            require(tree[i].keys[level] == again[i].keys[level], "every resource keeps its keys");
        require(again[i].bytes == tree[i].bytes && again[i].codePage == tree[i].codePage,
                "every resource is written as it was read");
    }
    return 0;
}
