#include "VerifyOutput.h"

#include "Text.h"

namespace tarrow {

bool matchesPropertyPattern(const std::wstring& value, const std::wstring& pattern) {
    if (pattern == L"*")
        return true;
    if (endsWith(pattern, L"*"))
        return startsWith(value, pattern.substr(0, pattern.find(L'*')));
    if (endsWith(pattern, L"...")) {
        const size_t last = pattern.find_last_not_of(L'.');
        return startsWith(value, last == std::wstring::npos ? L"" : pattern.substr(0, last + 1));
    }
    return value == pattern;
}

bool verifyOutputMatches(const std::wstring& output,
                         const std::map<std::wstring, std::wstring>& properties) {
    std::wstring text = trim(output);
    const size_t banner = text.find(L'\n');
    if (banner == std::wstring::npos || banner == 0)
        return false;
    text = trim(text.substr(banner + 1));
    for (const auto& property : properties) {
        const size_t end = text.find(L'\n');
        std::wstring line = text.substr(0, end);
        // A VM on Windows ends its lines with CR LF: the CR is not part of the value.
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (!matchesPropertyPattern(line, property.second))
            return false;
        text = end == std::wstring::npos ? std::wstring() : trim(text.substr(end + 1));
    }
    return true;
}

} // namespace tarrow
