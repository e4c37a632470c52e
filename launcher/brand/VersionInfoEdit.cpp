#include "VersionInfoEdit.h"

#include "Errors.h"

namespace tarrow {

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFixedInfoBytes = 52;
constexpr std::uint16_t kTextType = 1;
constexpr std::size_t kStringDepth = 3; // root, StringFileInfo, a string table, its strings

[[noreturn]] void damaged() {
    throw TerminalError(L"the launcher's version information is damaged");
}

std::size_t aligned(std::size_t at) {
    return (at + 3) & ~std::size_t{3};
}

bool sameKey(const std::wstring& key, const std::wstring& wanted) {
    auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; };
    if (key.size() != wanted.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (fold(key[i]) != fold(wanted[i]))
            return false;
    }
    return true;
}

// Starts a block in `out`: its header (the length filled in by `finish`) and its key.
std::size_t begin(Bytes& out, const std::wstring& key, std::size_t valueLength,
                  std::uint16_t type) {
    padTo(out, 4);
    const std::size_t start = out.size();
    appendWord(out, 0);
    appendWord(out, static_cast<std::uint32_t>(valueLength));
    appendWord(out, type);
    for (const wchar_t c : key)
        appendWord(out, static_cast<std::uint32_t>(c));
    appendWord(out, 0);
    padTo(out, 4);
    return start;
}

void finish(Bytes& out, std::size_t start) {
    if (out.size() - start > 0xFFFF)
        throw TerminalError(L"the version information is too long");
    putWord(out, start, static_cast<std::uint32_t>(out.size() - start));
}

void appendText(Bytes& out, const std::wstring& key, const std::wstring& text) {
    const std::size_t start = begin(out, key, text.size() + 1, kTextType);
    for (const wchar_t c : text)
        appendWord(out, static_cast<std::uint32_t>(c));
    appendWord(out, 0);
    finish(out, start);
}

// Copies blocks into a new resource, applying the edits on the way.
class Editor {
  public:
    Editor(const Bytes& data, const VersionEdits& edits) : data_(data), edits_(edits) {}

    Bytes run() {
        copy(0, data_.size(), 0, false);
        return std::move(out_);
    }

  private:
    // Copies the block at `start`; `underStrings`: it lies inside "StringFileInfo".
    void copy(std::size_t start, std::size_t limit, std::size_t depth, bool underStrings) {
        if (depth > kStringDepth || !fits(start, kHeaderBytes, limit))
            damaged();
        const std::size_t end = start + word(data_, start);
        if (end < start + kHeaderBytes || end > limit)
            damaged();
        const std::uint16_t type = word(data_, start + 4);
        std::wstring key;
        std::size_t at = start + kHeaderBytes;
        for (; at + 1 < end && word(data_, at) != 0; at += 2)
            key += static_cast<wchar_t>(word(data_, at));
        if (at + 1 >= end)
            damaged();
        if (depth == kStringDepth && underStrings && edited(key))
            return appendText(out_, key, *edited(key));
        at = aligned(at + 2);
        const std::size_t declared = word(data_, start + 2) * (type == kTextType ? 2u : 1u);
        // Some writers count a text generously: the value ends with its block.
        const std::size_t value = std::min(declared, end > at ? end - at : 0);
        const std::size_t copy = begin(out_, key, word(data_, start + 2), type);
        const std::size_t valueAt = out_.size();
        if (value != 0)
            appendRange(out_, data_, at, value);
        if (depth == 0)
            setVersion(valueAt, value);
        const bool strings = underStrings || (depth == 1 && sameKey(key, L"StringFileInfo"));
        sawStrings_ = sawStrings_ || strings;
        children(aligned(at + value), end, depth, strings, underStrings && depth == 2);
        if (depth == 0 && !sawStrings_) // a resource without strings gets a US English table
            appendTable(L"040904b0");
        finish(out_, copy);
    }

    // Copies the children of a block at `depth`; a string table's missing texts are added.
    void children(std::size_t at, std::size_t end, std::size_t depth, bool strings, bool table) {
        std::vector<bool> seen(edits_.texts.size());
        for (; at + kHeaderBytes <= end && word(data_, at) != 0;
             at = aligned(at + word(data_, at))) {
            if (table)
                markSeen(at, end, seen);
            copy(at, end, depth + 1, strings);
        }
        for (std::size_t i = 0; table && i < seen.size(); ++i) {
            if (!seen[i] && !seenEarlier(i))
                appendText(out_, edits_.texts[i].first, edits_.texts[i].second);
        }
    }

    // Notes which edited keys the string at `at` carries.
    void markSeen(std::size_t at, std::size_t end, std::vector<bool>& seen) {
        std::wstring key;
        for (std::size_t c = at + kHeaderBytes; c + 1 < end && word(data_, c) != 0; c += 2)
            key += static_cast<wchar_t>(word(data_, c));
        for (std::size_t i = 0; i < seen.size(); ++i)
            seen[i] = seen[i] || sameKey(key, edits_.texts[i].first);
    }

    // True when a later edit of the same key is the one that counts.
    bool seenEarlier(std::size_t i) const {
        for (std::size_t j = i + 1; j < edits_.texts.size(); ++j) {
            if (sameKey(edits_.texts[j].first, edits_.texts[i].first))
                return true;
        }
        return false;
    }

    const std::wstring* edited(const std::wstring& key) const {
        const std::wstring* text = nullptr;
        for (const auto& edit : edits_.texts) {
            if (sameKey(key, edit.first))
                text = &edit.second;
        }
        return text;
    }

    void appendTable(const wchar_t* language) {
        const std::size_t files = begin(out_, L"StringFileInfo", 0, kTextType);
        const std::size_t table = begin(out_, language, 0, kTextType);
        for (std::size_t i = 0; i < edits_.texts.size(); ++i) {
            if (!seenEarlier(i))
                appendText(out_, edits_.texts[i].first, edits_.texts[i].second);
        }
        finish(out_, table);
        finish(out_, files);
    }

    // The edited versions in the root's value, the fixed file information, copied at `at`.
    void setVersion(std::size_t at, std::size_t size) {
        if (!edits_.version)
            return;
        if (size < kFixedInfoBytes)
            damaged();
        const auto& v = *edits_.version;
        for (const std::size_t field : {at + 8, at + 16}) { // the file, then the product version
            putDword(out_, field, std::uint32_t{v[0]} << 16 | v[1]);
            putDword(out_, field + 4, std::uint32_t{v[2]} << 16 | v[3]);
        }
    }

    const Bytes& data_;
    const VersionEdits& edits_;
    Bytes out_;
    bool sawStrings_ = false;
};

} // namespace

Bytes editVersionInfo(const Bytes& data, const VersionEdits& edits) {
    return Editor(data, edits).run();
}

} // namespace tarrow
