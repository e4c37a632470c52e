#include "Path.h"

#include "Tokenizer.h"

namespace tarrow {

Path::Path(const std::wstring& text) : entries_(tokenize(text, L";")) {}

std::wstring Path::toString() const {
    std::wstring result;
    for (const auto& entry : entries_)
        result.append(entry).append(L";");
    return result;
}

} // namespace tarrow
