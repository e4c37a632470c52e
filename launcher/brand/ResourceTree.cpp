#include "ResourceTree.h"

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::size_t kDirectoryBytes = 16;
constexpr std::size_t kEntryBytes = 8;
constexpr std::size_t kDataEntryBytes = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

[[noreturn]] void damaged() {
    throw TerminalError(L"the launcher's resources are damaged");
}

class TreeReader {
  public:
    TreeReader(const Bytes& section, std::uint32_t address)
        : section_(section), address_(address) {}

    // Reads the directory at `offset` with `read` taking each entry's key and target offset.
    template <typename Read> void directory(std::uint32_t offset, Read read) {
        if (!fits(offset, kDirectoryBytes, section_.size()))
            damaged();
        const std::size_t count =
            std::size_t{word(section_, offset + 12)} + word(section_, offset + 14);
        if (!fits(offset + kDirectoryBytes, count * kEntryBytes, section_.size()))
            damaged();
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = offset + kDirectoryBytes + i * kEntryBytes;
            read(key(dword(section_, entry)), dword(section_, entry + 4));
        }
    }

    ResourceData data(std::uint32_t target) {
        if ((target & kHighBit) != 0 || !fits(target, kDataEntryBytes, section_.size()))
            damaged();
        const std::uint32_t rva = dword(section_, target);
        const std::uint32_t size = dword(section_, target + 4);
        if (rva < address_ || !fits(rva - address_, size, section_.size()))
            damaged();
        const auto start = section_.begin() + (rva - address_);
        // Each resource is at least one byte of the section, so a tree whose directories
        // repeat one another cannot make more resources than the section has bytes.
        if (++resources_ > section_.size())
            damaged();
        return {Bytes(start, start + size), dword(section_, target + 8)};
    }

  private:
    ResourceKey key(std::uint32_t name) {
        if ((name & kHighBit) == 0)
            return {u"", static_cast<std::uint16_t>(name)};
        const std::size_t at = name & ~kHighBit;
        if (!fits(at, 2, section_.size()) ||
            !fits(at + 2, word(section_, at) * 2u, section_.size()))
            damaged();
        std::u16string text;
        for (std::size_t i = 0; i < word(section_, at); ++i)
            text += static_cast<char16_t>(word(section_, at + 2 + 2 * i));
        if (text.empty())
            damaged();
        return {text, 0};
    }

    const Bytes& section_;
    std::uint32_t address_;
    std::size_t resources_ = 0;
};

std::uint32_t subdirectory(std::uint32_t target) {
    if ((target & kHighBit) == 0)
        damaged();
    return target & ~kHighBit;
}

// Lays the tree out: where each directory, data entry, name and resource goes.
class TreeWriter {
  public:
    TreeWriter(const ResourceTree& tree, std::uint32_t address) : tree_(tree), address_(address) {}

    Bytes write() {
        std::size_t directories = kDirectoryBytes + tree_.size() * kEntryBytes;
        std::size_t leaves = 0;
        for (const auto& [type, names] : tree_) {
            directories += kDirectoryBytes + names.size() * kEntryBytes;
            for (const auto& [name, languages] : names) {
                directories += kDirectoryBytes + languages.size() * kEntryBytes;
                leaves += languages.size();
            }
        }
        nextDataEntry_ = directories;
        out_.assign(directories + leaves * kDataEntryBytes, 0);
        names();
        // Directories breadth-first: the root, the types' directories, then the names'.
        const std::size_t root = directory(tree_.size());
        header(root, tree_);
        std::size_t slot = root + kDirectoryBytes;
        for (const auto& item : tree_) {
            typeDirs_.push_back(slot);
            entry(slot, item.first, 0);
            slot += kEntryBytes;
        }
        std::size_t i = 0;
        for (const auto& [type, names] : tree_)
            nameLevel(typeDirs_[i++], names);
        i = 0;
        for (const auto& [type, names] : tree_)
            for (const auto& [name, languages] : names)
                languageLevel(nameDirs_[i++], languages);
        return out_;
    }

  private:
    std::size_t directory(std::size_t count) {
        const std::size_t at = nextDirectory_;
        nextDirectory_ += kDirectoryBytes + count * kEntryBytes;
        return at;
    }

    // Each distinct name once, after the data entries.
    void names() {
        for (const auto& [type, names] : tree_) {
            addName(type);
            for (const auto& [name, languages] : names) {
                addName(name);
                for (const auto& language : languages)
                    addName(language.first);
            }
        }
    }

    void addName(const ResourceKey& key) {
        if (key.text.empty() || nameOffsets_.count(key.text))
            return;
        nameOffsets_[key.text] = out_.size();
        appendWord(out_, static_cast<std::uint32_t>(key.text.size()));
        for (const char16_t c : key.text)
            appendWord(out_, c);
    }

    void entry(std::size_t at, const ResourceKey& key, std::uint32_t target) {
        putDword(out_, at,
                 key.text.empty() ? key.id
                                  : static_cast<std::uint32_t>(nameOffsets_[key.text]) | kHighBit);
        putDword(out_, at + 4, target);
    }

    // Fills the type entry at `parent` with a new directory of `names`.
    void nameLevel(std::size_t parent, const ResourceNames& names) {
        const std::size_t at = directory(names.size());
        header(at, names);
        putDword(out_, parent + 4, static_cast<std::uint32_t>(at) | kHighBit);
        std::size_t slot = at + kDirectoryBytes;
        for (const auto& [name, languages] : names) {
            nameDirs_.push_back(slot);
            entry(slot, name, 0);
            slot += kEntryBytes;
        }
    }

    void languageLevel(std::size_t parent, const ResourceLanguages& languages) {
        const std::size_t at = directory(languages.size());
        header(at, languages);
        putDword(out_, parent + 4, static_cast<std::uint32_t>(at) | kHighBit);
        std::size_t slot = at + kDirectoryBytes;
        for (const auto& [language, data] : languages) {
            entry(slot, language, static_cast<std::uint32_t>(nextDataEntry_));
            resource(nextDataEntry_, data);
            nextDataEntry_ += kDataEntryBytes;
            slot += kEntryBytes;
        }
    }

    template <typename Map> void header(std::size_t at, const Map& entries) {
        std::size_t named = 0;
        for (const auto& item : entries)
            named += item.first.text.empty() ? 0 : 1;
        putWord(out_, at + 12, static_cast<std::uint32_t>(named));
        putWord(out_, at + 14, static_cast<std::uint32_t>(entries.size() - named));
    }

    // The resource's bytes at the end, and its data entry at `at`.
    void resource(std::size_t at, const ResourceData& data) {
        padTo(out_, 8);
        putDword(out_, at, static_cast<std::uint32_t>(address_ + out_.size()));
        putDword(out_, at + 4, static_cast<std::uint32_t>(data.bytes.size()));
        putDword(out_, at + 8, data.codePage);
        out_.insert(out_.end(), data.bytes.begin(), data.bytes.end());
    }

    const ResourceTree& tree_;
    std::uint32_t address_;
    Bytes out_;
    std::size_t nextDirectory_ = 0;
    std::size_t nextDataEntry_ = 0;
    std::map<std::u16string, std::size_t> nameOffsets_;
    std::vector<std::size_t> typeDirs_; // the root's entry for each type
    std::vector<std::size_t> nameDirs_; // each type directory's entry for each name
};

} // namespace

ResourceTree readResourceTree(const Bytes& section, std::uint32_t address) {
    TreeReader reader(section, address);
    ResourceTree tree;
    reader.directory(0, [&](const ResourceKey& type, std::uint32_t typeTarget) {
        ResourceNames& names = tree[type];
        reader.directory(subdirectory(typeTarget),
                         [&](const ResourceKey& name, std::uint32_t nameTarget) {
                             ResourceLanguages& languages = names[name];
                             reader.directory(subdirectory(nameTarget),
                                              [&](const ResourceKey& language, std::uint32_t leaf) {
                                                  languages[language] = reader.data(leaf);
                                              });
                         });
    });
    return tree;
}

Bytes writeResourceTree(const ResourceTree& tree, std::uint32_t address) {
    return TreeWriter(tree, address).write();
}

} // namespace tarrow
