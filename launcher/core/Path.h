// Path: a list of path entries, as in a search path or a class path. Platform-free.
#pragma once

#include <string>
#include <vector>

namespace tarrow {

class Path {
  public:
    Path() = default;
    // Splits `text` at ";" with the tokenizer; every token becomes one entry, in order.
    explicit Path(const std::wstring& text);
    virtual ~Path() = default;
    Path(const Path&) = default;
    Path& operator=(const Path&) = default;

    // Every entry followed by ";" (a non-empty list therefore ends with ";").
    std::wstring toString() const;

    void append(const std::wstring& entry) { entries_.push_back(entry); }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::wstring& operator[](size_t i) const { return entries_[i]; }
    std::vector<std::wstring>::const_iterator begin() const { return entries_.begin(); }
    std::vector<std::wstring>::const_iterator end() const { return entries_.end(); }

  private:
    std::vector<std::wstring> entries_;
};

} // namespace tarrow
