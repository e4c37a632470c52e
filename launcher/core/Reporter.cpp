#include "Reporter.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace tarrow {

// The text is formatted by the C runtime's own printf (its %s, %ls and %lu are all the launcher
// uses) rather than the toolchain's portable one, which would link a floating-point formatter
// into the launcher for nothing.
void Reporter::say(const char* format, ...) const {
    if (silent_)
        return;
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = _vscprintf(format, measuring);
    va_end(measuring);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        const int written = _vsnprintf(&text[0], text.size(), format, arguments);
        text.resize(written < 0 ? 0 : static_cast<size_t>(written));
    }
    va_end(arguments);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void Reporter::sayWide(const std::wstring& text) const {
    if (silent_)
        return;
    std::fputws(text.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace tarrow
