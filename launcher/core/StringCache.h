// StringCache: translated message texts by id, each loaded once. Platform-free; the loader
// that reads the executable's string table is supplied by StringTable.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tarrow {

class StringCache {
  public:
    // Returns the text of an id, or nothing when the id has no (non-empty) text.
    using Loader = std::function<std::optional<std::wstring>(int id)>;

    explicit StringCache(Loader loader) : loader_(std::move(loader)) {}

    // A copy of the text of `id`, loaded on the first request only. Raises
    // StringTableException "invalid key" when the loader has no text for it.
    std::wstring get(int id);

  private:
    Loader loader_;
    std::map<int, std::wstring> texts_;
};

} // namespace tarrow
