// A program's resources as a tree of three levels (type, name, language), read from and
// written to the bytes of a resource section. Platform-free.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ByteView.h"

namespace tarrow {

// A directory entry's name: a text, or a 16-bit id when the text is empty.
struct ResourceKey {
    std::u16string text;
    std::uint16_t id = 0;

    // Named entries come first, in code-unit order, then ids in ascending order: the order
    // the loader's search expects.
    bool operator<(const ResourceKey& other) const {
        if (text.empty() != other.text.empty())
            return !text.empty();
        return text.empty() ? id < other.id : text < other.text;
    }
};

struct ResourceData {
    Bytes bytes;
    std::uint32_t codePage = 0;
};

using ResourceLanguages = std::map<ResourceKey, ResourceData>;
using ResourceNames = std::map<ResourceKey, ResourceLanguages>;
using ResourceTree = std::map<ResourceKey, ResourceNames>;

constexpr std::uint16_t kIconResource = 3;
constexpr std::uint16_t kIconGroupResource = 14;
constexpr std::uint16_t kVersionResource = 16;

// The tree held by a resource section's bytes as the file holds them, the section mapped at
// `address`. Raises TerminalError when a directory, a name or a resource lies outside them.
ResourceTree readResourceTree(const Bytes& section, std::uint32_t address);

// The bytes of a resource section for the section mapped at `address`: every directory, then
// the data entries, the names and the resources, each resource at an 8-byte boundary. No time
// stamps: the same tree gives the same bytes.
Bytes writeResourceTree(const ResourceTree& tree, std::uint32_t address);

} // namespace tarrow
