#include "VersionInfoBlock.h"

#include <algorithm>

namespace tarrow {

namespace {

constexpr std::size_t kBlockHeaderBytes = 6;
constexpr std::size_t kFixedFileInfoBytes = 52;
constexpr std::uint16_t kTextType = 1;

std::uint16_t word(const std::vector<std::uint8_t>& data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::size_t alignedToFour(std::size_t offset) {
    return (offset + 3) & ~std::size_t{3};
}

std::uint32_t foldAscii(std::uint32_t c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

struct Block {
    std::size_t end;  // where the block ends, within its parent
    std::size_t next; // where the next sibling would start
    std::u16string key;
    std::size_t value;      // where the value starts
    std::size_t valueBytes; // how many of its bytes lie inside the block
    std::uint16_t type;
    std::size_t children; // where the first child would start
};

// The block at `start`, read no further than `limit`; nothing when it is malformed.
std::optional<Block> blockAt(const std::vector<std::uint8_t>& data, std::size_t start,
                             std::size_t limit) {
    if (limit > data.size() || start > limit || limit - start < kBlockHeaderBytes)
        return std::nullopt;
    const std::size_t length = word(data, start);
    if (length < kBlockHeaderBytes)
        return std::nullopt;
    Block block;
    block.end = std::min(start + length, limit);
    block.next = alignedToFour(start + length);
    block.type = word(data, start + 4);
    std::size_t at = start + kBlockHeaderBytes;
    for (; at + 1 < block.end && word(data, at) != 0; at += 2)
        block.key += static_cast<char16_t>(word(data, at));
    if (at + 1 >= block.end)
        return std::nullopt; // the key has no end inside the block
    const std::size_t valueLength = word(data, start + 2);
    block.value = std::min(alignedToFour(at + 2), block.end);
    const std::size_t declared = block.type == kTextType ? valueLength * 2 : valueLength;
    block.valueBytes = std::min(declared, block.end - block.value);
    block.children = std::min(alignedToFour(block.value + block.valueBytes), block.end);
    return block;
}

bool sameKey(const std::u16string& key, const std::wstring& wanted) {
    return key.size() == wanted.size() &&
           std::equal(key.begin(), key.end(), wanted.begin(), [](char16_t a, wchar_t b) {
               return foldAscii(a) == foldAscii(static_cast<std::uint32_t>(b));
           });
}

std::optional<Block> child(const std::vector<std::uint8_t>& data, const Block& parent,
                           const std::wstring& key) {
    // Each block is at least a header long, so the walk always moves on.
    for (std::size_t at = parent.children; at < parent.end;) {
        const auto block = blockAt(data, at, parent.end);
        if (!block)
            return std::nullopt;
        if (sameKey(block->key, key))
            return block;
        at = block->next;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::array<std::uint16_t, 4>>
fixedFileVersion(const std::vector<std::uint8_t>& data) {
    const auto root = blockAt(data, 0, data.size());
    if (!root || root->valueBytes < kFixedFileInfoBytes)
        return std::nullopt;
    // After the signature and the structure version: the file version's two halves.
    const std::size_t ms = root->value + 8;
    const std::size_t ls = root->value + 12;
    return std::array<std::uint16_t, 4>{word(data, ms + 2), word(data, ms), word(data, ls + 2),
                                        word(data, ls)};
}

std::optional<std::wstring> versionText(const std::vector<std::uint8_t>& data,
                                        const std::vector<std::wstring>& keys) {
    auto block = blockAt(data, 0, data.size());
    for (const auto& key : keys) {
        if (!block)
            return std::nullopt;
        block = child(data, *block, key);
    }
    if (!block)
        return std::nullopt;
    std::wstring text;
    for (std::size_t at = block->value; at + 1 < block->value + block->valueBytes; at += 2) {
        const std::uint16_t unit = word(data, at);
        if (unit == 0)
            break;
        text += static_cast<wchar_t>(unit);
    }
    return text;
}

} // namespace tarrow
