// A program's resources, each named by three ids (type, name, language), read from and written
// to the bytes of a resource section. Resources named by texts are not kept: the launcher has
// none. Platform-free.
#pragma once

#include <cstdint>
#include <vector>

#include "ByteView.h"

namespace tarrow {

struct Resource {
    std::uint16_t keys[3] = {}; // type, name and language ids
    Bytes bytes;
    std::uint32_t codePage = 0;
};

// The resources in the order of their keys: type, then name, then language.
using ResourceTree = std::vector<Resource>;

constexpr std::uint16_t kIconResource = 3;
constexpr std::uint16_t kIconGroupResource = 14;
constexpr std::uint16_t kVersionResource = 16;

// Puts `resource` in its place in the tree (ids in ascending order, the order the loader's
// search expects), replacing one with the same keys.
void putResource(ResourceTree& tree, Resource resource);

// The tree held by a resource section's bytes as the file holds them, the section mapped at
// `address`. Raises TerminalError when a directory or a resource lies outside them, or an entry
// is named by a text.
ResourceTree readResourceTree(const Bytes& section, std::uint32_t address);

// The bytes of a resource section for the section mapped at `address`: every directory, then
// the data entries, the names and the resources, each resource at an 8-byte boundary. No time
// stamps: the same tree gives the same bytes.
Bytes writeResourceTree(const ResourceTree& tree, std::uint32_t address);

} // namespace tarrow
