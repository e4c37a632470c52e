#include "LauncherTestSupport.h"

#include <algorithm>

namespace tarrow::test {

std::wstring variable(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string slashed(const std::wstring& path) {
    std::string text = narrow(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

} // namespace tarrow::test
