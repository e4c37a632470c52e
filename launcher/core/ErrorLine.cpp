#include "ErrorLine.h"

#include "Text.h"

namespace tarrow {

std::wstring composeErrorLine(const std::wstring& prefix, const std::wstring& message) {
    return prefix + L": " + message + L"\n";
}

std::string errorLineBytes(const std::wstring& line) {
    std::wstring crlf;
    for (wchar_t c : line) {
        if (c == L'\n' && (crlf.empty() || crlf.back() != L'\r'))
            crlf += L'\r';
        crlf += c;
    }
    return toUtf8(crlf);
}

std::wstring unknownExceptionMessage(const char* what) {
    return L"an unknown exception has occurrred.\n" + widenLatin1(what ? what : "");
}

} // namespace tarrow
