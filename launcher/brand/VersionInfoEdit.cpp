#include "VersionInfoEdit.h"

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFixedInfoBytes = 52;
constexpr std::uint16_t kTextType = 1;
constexpr std::size_t kMaxDepth = 4; // root, file info, string table, string

// One block: its key, its value as it is stored, and its children.
struct Block {
    std::u16string key;
    std::uint16_t type = 0;
    std::uint16_t valueLength = 0; // as declared: characters for text, bytes otherwise
    Bytes value;
    std::vector<Block> children;
};

[[noreturn]] void damaged() {
    throw TerminalError(L"the launcher's version information is damaged");
}

std::size_t aligned(std::size_t at) {
    return (at + 3) & ~std::size_t{3};
}

Block parse(const Bytes& data, std::size_t start, std::size_t limit, std::size_t depth) {
    if (depth > kMaxDepth || !fits(start, kHeaderBytes, limit))
        damaged();
    const std::size_t end = start + word(data, start);
    if (end < start + kHeaderBytes || end > limit)
        damaged();
    Block block;
    block.valueLength = word(data, start + 2);
    block.type = word(data, start + 4);
    std::size_t at = start + kHeaderBytes;
    for (; at + 1 < end && word(data, at) != 0; at += 2)
        block.key += static_cast<char16_t>(word(data, at));
    if (at + 1 >= end)
        damaged();
    at = aligned(at + 2);
    const std::size_t valueBytes =
        block.type == kTextType ? block.valueLength * 2u : block.valueLength;
    // Some writers count a text's characters generously: the value ends with its block.
    const std::size_t stored = std::min(valueBytes, end > at ? end - at : 0);
    block.value.assign(data.begin() + std::min(at, end), data.begin() + std::min(at, end) + stored);
    for (at = aligned(at + stored); at < end; at = aligned(at + word(data, at)))
        block.children.push_back(parse(data, at, end, depth + 1));
    return block;
}

void write(const Block& block, Bytes& out) {
    const std::size_t start = out.size();
    appendWord(out, 0);
    appendWord(out, block.valueLength);
    appendWord(out, block.type);
    for (const char16_t c : block.key)
        appendWord(out, c);
    appendWord(out, 0);
    padTo(out, 4);
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const Block& child : block.children) {
        padTo(out, 4);
        write(child, out);
    }
    const std::size_t length = out.size() - start;
    if (length > 0xFFFF)
        throw TerminalError(L"the version information is too long");
    putWord(out, start, static_cast<std::uint32_t>(length));
}

bool sameKey(const std::u16string& key, const std::wstring& wanted) {
    auto fold = [](std::uint32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (key.size() != wanted.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (fold(key[i]) != fold(static_cast<std::uint32_t>(wanted[i])))
            return false;
    }
    return true;
}

std::u16string utf16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

Block textBlock(const std::wstring& key, const std::wstring& text) {
    Block block{utf16(key), kTextType, static_cast<std::uint16_t>(text.size() + 1), {}, {}};
    for (const wchar_t c : text)
        appendWord(block.value, static_cast<std::uint32_t>(c));
    appendWord(block.value, 0);
    return block;
}

Block& childWithKey(Block& parent, const std::wstring& key, const Block& added) {
    for (Block& child : parent.children) {
        if (sameKey(child.key, key))
            return child;
    }
    parent.children.push_back(added);
    return parent.children.back();
}

void setText(Block& table, const std::wstring& key, const std::wstring& text) {
    const Block block = textBlock(key, text);
    Block& target = childWithKey(table, key, block);
    target.type = block.type;
    target.valueLength = block.valueLength;
    target.value = block.value;
}

void setVersion(Block& root, const std::array<std::uint16_t, 4>& version) {
    if (root.value.size() < kFixedInfoBytes)
        damaged();
    const std::uint32_t high = std::uint32_t{version[0]} << 16 | version[1];
    const std::uint32_t low = std::uint32_t{version[2]} << 16 | version[3];
    for (const std::size_t at : {8, 16}) { // the file version, then the product version
        putDword(root.value, at, high);
        putDword(root.value, at + 4, low);
    }
}

} // namespace

Bytes editVersionInfo(const Bytes& data, const VersionEdits& edits) {
    Block root = parse(data, 0, data.size(), 0);
    if (edits.version)
        setVersion(root, *edits.version);
    Block& files =
        childWithKey(root, L"StringFileInfo", Block{u"StringFileInfo", kTextType, 0, {}, {}});
    if (files.children.empty())
        files.children.push_back(Block{u"040904b0", kTextType, 0, {}, {}});
    for (Block& table : files.children) {
        for (const auto& [key, text] : edits.texts)
            setText(table, key, text);
    }
    Bytes out;
    write(root, out);
    return out;
}

} // namespace tarrow
