#include "PropertySet.h"

namespace tarrow {

std::wstring PropertySet::get(const std::wstring& key, const std::wstring& defaultValue) const {
    const auto found = values_.find(key);
    return found == values_.end() ? defaultValue : found->second;
}

} // namespace tarrow
