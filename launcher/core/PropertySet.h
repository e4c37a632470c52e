// PropertySet: the ordered, case-sensitive key/value map read from a properties file.
// Platform-free.
#pragma once

#include <map>
#include <string>

namespace tarrow {

class PropertySet {
  public:
    // The stored value, or `defaultValue` when the key is absent. A key present with an empty
    // value gives the empty value.
    std::wstring get(const std::wstring& key, const std::wstring& defaultValue = L"") const;
    bool has(const std::wstring& key) const { return values_.count(key) != 0; }
    // Stores a value; a later value for the same key replaces the earlier one.
    void set(const std::wstring& key, const std::wstring& value) { values_[key] = value; }
    const std::map<std::wstring, std::wstring>& entries() const { return values_; }

  private:
    std::map<std::wstring, std::wstring> values_;
};

} // namespace tarrow
