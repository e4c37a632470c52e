#include "UrlText.h"

#include "Text.h"

namespace tarrow {

namespace {

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace

std::wstring packFileName(const std::wstring& url) {
    const size_t slash = url.rfind(L'/');
    return trim(slash == std::wstring::npos ? url : url.substr(slash + 1));
}

bool isVmPackUrl(const std::wstring& url) {
    return endsWith(url, L".vm");
}

std::wstring decodeUrlEscapes(const std::wstring& text) {
    std::wstring result;
    std::string bytes; // a run of escaped bytes, decoded together as UTF-8
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
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
