#include "StringCache.h"

#include "Errors.h"

namespace tarrow {

std::wstring StringCache::get(int id) {
    const auto found = texts_.find(id);
    if (found != texts_.end())
        return found->second;
    std::optional<std::wstring> text = loader_(id);
    if (!text || text->empty())
        throw StringTableException(L"invalid key");
    texts_[id] = *text;
    return *text;
}

} // namespace tarrow
