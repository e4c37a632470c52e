#include "UrlText.h"

#include "Text.h"

namespace tarrow {

std::wstring packFileName(const std::wstring& url) {
    // Either separator ends a folder: the name never climbs out of the folder it is stored in.
    const size_t slash = url.find_last_of(L"/\\");
    return trim(slash == std::wstring::npos ? url : url.substr(slash + 1));
}

bool isVmPackUrl(const std::wstring& url) {
    return endsWith(url, L".vm");
}

std::wstring decodeUrlEscapes(const std::wstring& text) {
    std::wstring result;
    std::string bytes; // a run of escaped bytes, decoded together as UTF-8
    for (size_t i = 0; i < text.size(); ++i) {
        // "%00" stays as it stands: a NUL would cut the path short where it is passed on.
        if (text[i] == L'%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
            hexDigitValue(text[i + 2]) >= 0 && (text[i + 1] != L'0' || text[i + 2] != L'0')) {
            bytes +=
                static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
            continue;
        }
        result += fromUtf8(bytes);
        bytes.clear();
        result += text[i];
    }
    return result + fromUtf8(bytes);
}

} // namespace tarrow
