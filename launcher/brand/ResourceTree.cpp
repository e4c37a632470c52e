#include "ResourceTree.h"

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::size_t kDirectoryBytes = 16;
constexpr std::size_t kEntryBytes = 8;
constexpr std::size_t kDataEntryBytes = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kLevels = 3;

[[noreturn]] void damaged() {
    throw TerminalError(L"the launcher's resources are damaged");
}

int compareResources(const Resource& a, const Resource& b, std::size_t levels) {
    for (std::size_t level = 0; level < levels; ++level) {
        if (a.keys[level] != b.keys[level])
            return a.keys[level] < b.keys[level] ? -1 : 1;
    }
    return 0;
}

Resource dataAt(const Bytes& section, std::uint32_t address, std::uint32_t target,
                const Resource& path) {
    if ((target & kHighBit) != 0 || !fits(target, kDataEntryBytes, section.size()))
        damaged();
    const std::uint32_t rva = dword(section, target);
    const std::uint32_t size = dword(section, target + 4);
    if (rva < address || !fits(rva - address, size, section.size()))
        damaged();
    Resource resource = path;
    resource.bytes.clear();
    appendRange(resource.bytes, section, rva - address, size);
    resource.codePage = dword(section, target + 8);
    return resource;
}

// Reads the directory at `offset` of the given level, `path` holding the keys above it;
// `leaves` counts the resource entries read so far.
void readLevel(const Bytes& section, std::uint32_t address, std::uint32_t offset, std::size_t level,
               Resource& path, ResourceTree& tree, std::size_t& leaves) {
    if (!fits(offset, kDirectoryBytes, section.size()))
        damaged();
    const std::size_t count = std::size_t{word(section, offset + 12)} + word(section, offset + 14);
    if (!fits(offset + kDirectoryBytes, count * kEntryBytes, section.size()))
        damaged();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = offset + kDirectoryBytes + i * kEntryBytes;
        const std::uint32_t name = dword(section, entry);
        if ((name & kHighBit) != 0)
            throw TerminalError(L"the launcher's resources cannot be rewritten: they have names");
        path.keys[level] = static_cast<std::uint16_t>(name);
        const std::uint32_t target = dword(section, entry + 4);
        if (level + 1 < kLevels) {
            if ((target & kHighBit) == 0)
                damaged();
            readLevel(section, address, target & ~kHighBit, level + 1, path, tree, leaves);
            continue;
        }
        // Each resource entry is 8 bytes of its own in a well-formed section: directories that
        // name one another again and again would otherwise be read for hours.
        if (++leaves > section.size() / kEntryBytes)
            damaged();
        putResource(tree, dataAt(section, address, target, path));
    }
}

// The layout of the section's directories: how many entries each one has, in the order they
// are written (the root, the types' directories, then the names' directories).
struct Layout {
    std::vector<std::size_t> counts; // entries of each directory
    std::vector<std::size_t> offsets;
    std::size_t typeDirectories = 0;
};

// True when resource i starts a new directory entry at `level` (differs above or at it).
bool starts(const ResourceTree& tree, std::size_t i, std::size_t level) {
    return i == 0 || compareResources(tree[i - 1], tree[i], level + 1) != 0;
}

Layout layoutOf(const ResourceTree& tree) {
    Layout layout;
    layout.counts.push_back(0);
    std::vector<std::size_t> names; // entries of each name directory
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (starts(tree, i, 0)) {
            ++layout.counts[0];
            layout.counts.push_back(0);
        }
        if (starts(tree, i, 1)) {
            ++layout.counts.back();
            names.push_back(0);
        }
        ++names.back();
    }
    layout.typeDirectories = layout.counts.size() - 1;
    layout.counts.insert(layout.counts.end(), names.begin(), names.end());
    std::size_t at = 0;
    for (const std::size_t count : layout.counts) {
        layout.offsets.push_back(at);
        at += kDirectoryBytes + count * kEntryBytes;
    }
    layout.offsets.push_back(at); // where the data entries start
    return layout;
}

} // namespace

void putResource(ResourceTree& tree, Resource resource) {
    auto at = tree.begin();
    while (at != tree.end() && compareResources(*at, resource, kLevels) < 0)
        ++at;
    if (at != tree.end() && compareResources(*at, resource, kLevels) == 0)
        *at = std::move(resource);
    else
        tree.insert(at, std::move(resource));
}

ResourceTree readResourceTree(const Bytes& section, std::uint32_t address) {
    ResourceTree tree;
    Resource path;
    std::size_t leaves = 0;
    readLevel(section, address, 0, 0, path, tree, leaves);
    return tree;
}

Bytes writeResourceTree(const ResourceTree& tree, std::uint32_t address) {
    const Layout layout = layoutOf(tree);
    const std::size_t dataEntries = layout.offsets.back();
    Bytes out(dataEntries + tree.size() * kDataEntryBytes);
    // Each directory's header, then its entries in the order of the resources.
    std::vector<std::size_t> next(layout.counts.size());
    for (std::size_t d = 0; d < layout.counts.size(); ++d)
        next[d] = layout.offsets[d] + kDirectoryBytes;
    std::size_t type = 0, name = 0;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const Resource& resource = tree[i];
        if (starts(tree, i, 0))
            type = i == 0 ? 1 : type + 1;
        if (starts(tree, i, 1))
            name = i == 0 ? layout.typeDirectories + 1 : name + 1;
        const std::size_t entries[kLevels] = {starts(tree, i, 0) ? next[0] : 0,
                                              starts(tree, i, 1) ? next[type] : 0, next[name]};
        const std::size_t targets[kLevels] = {layout.offsets[type] | kHighBit,
                                              layout.offsets[name] | kHighBit,
                                              dataEntries + i * kDataEntryBytes};
        const std::size_t directories[kLevels] = {0, type, name};
        for (std::size_t level = 0; level < kLevels; ++level) {
            if (level < 2 && !starts(tree, i, level))
                continue;
            putDword(out, entries[level], resource.keys[level]);
            putDword(out, entries[level] + 4, static_cast<std::uint32_t>(targets[level]));
            const std::size_t header = layout.offsets[directories[level]];
            putWord(out, header + 14, word(out, header + 14) + 1u); // one more id entry
            next[directories[level]] += kEntryBytes;
        }
    }
    for (std::size_t i = 0; i < tree.size(); ++i) {
        padTo(out, 8);
        const std::size_t entry = dataEntries + i * kDataEntryBytes;
        putDword(out, entry, static_cast<std::uint32_t>(address + out.size()));
        putDword(out, entry + 4, static_cast<std::uint32_t>(tree[i].bytes.size()));
        putDword(out, entry + 8, tree[i].codePage);
        appendRange(out, tree[i].bytes, 0, tree[i].bytes.size());
    }
    return out;
}

} // namespace tarrow
