#include "Reporter.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace tarrow {

void Reporter::say(const char* format, ...) const {
    if (silent_)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void Reporter::sayWide(const wchar_t* format, ...) const {
    if (silent_)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vwprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

} // namespace tarrow
