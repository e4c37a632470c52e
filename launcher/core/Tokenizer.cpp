#include "Tokenizer.h"

namespace tarrow {

static std::wstring trimSpaces(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::vector<std::wstring> tokenize(const std::wstring& text, const std::wstring& delimiters) {
    const std::wstring input = trimSpaces(text);
    std::vector<std::wstring> tokens;
    auto isDelimiter = [&](wchar_t c) { return delimiters.find(c) != std::wstring::npos; };
    size_t pos = 0;
    while (pos < input.size()) {
        size_t end = pos;
        while (end < input.size() && !isDelimiter(input[end]))
            ++end;
        size_t next = end;
        while (next < input.size() && isDelimiter(input[next]))
            ++next;
        tokens.push_back(input.substr(pos, end - pos));
        pos = next;
    }
    return tokens;
}

} // namespace tarrow
