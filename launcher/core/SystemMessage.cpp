#include "SystemMessage.h"

#include "Text.h"

namespace tarrow {

std::wstring systemMessage(DWORD error) {
    constexpr DWORD kMessageChars = 128;
    wchar_t buffer[kMessageChars] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, kMessageChars, nullptr);
    if (length == 0)
        return L"error " + decimal(error);
    return trim(std::wstring(buffer, length));
}

} // namespace tarrow
