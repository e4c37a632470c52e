#include "PathString.h"

#include "Text.h"

namespace tarrow {

std::wstring collapseSeparators(const std::wstring& text) {
    // Doubled backslashes are reduced first, so "/" written next to "\\" is kept as a
    // separator of its own.
    const bool unc = startsWith(text, L"\\\\");
    std::wstring collapsed = unc ? L"\\\\" : L"";
    for (size_t i = unc ? 2 : 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && collapsed.size() > (unc ? 2u : 0u) && collapsed.back() == L'\\')
            continue;
        collapsed += text[i];
    }
    return replaceAll(collapsed, L"/", L"\\");
}

std::wstring fileName(const std::wstring& text, bool lowerCase) {
    const size_t slash = text.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? text : text.substr(slash + 1);
    return lowerCase ? toLower(name) : name;
}

std::wstring parent(const std::wstring& text, const std::wstring& fallback) {
    const size_t slash = text.rfind(L'\\');
    return slash == std::wstring::npos ? fallback : text.substr(0, slash);
}

std::wstring containingFolder(const std::wstring& path, const std::wstring& fallback) {
    std::wstring folder = parent(path, fallback);
    // "D:" alone names the current directory of drive D, not its root.
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

bool hasExtension(const std::wstring& text) {
    const size_t slash = text.rfind(L'\\');
    const size_t dot = text.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    return slash == std::wstring::npos ? dot > 0 : dot > slash;
}

std::wstring extension(const std::wstring& text) {
    return hasExtension(text) ? toLower(text.substr(text.rfind(L'.') + 1)) : std::wstring();
}

std::wstring baseName(const std::wstring& text) {
    const std::wstring name = fileName(text);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool isAbsolute(const std::wstring& text) {
    return (!text.empty() && text[0] == L'\\') || (text.size() > 1 && text[1] == L':');
}

std::wstring joinPath(const std::wstring& base, const std::wstring& name) {
    if (base.empty() || base.back() == L'\\')
        return base + name;
    return base + L"\\" + name;
}

} // namespace tarrow
