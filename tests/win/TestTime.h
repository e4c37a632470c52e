// Time limits of the Windows tests: written for native speed, stretched by the factor in
// KIV_TIME_SCALE where the tests run on a slower machine (the emulated one runs them about ten
// times slower).
#pragma once

#include <windows.h>

#include <cstdlib>

namespace tarrow::test {

inline DWORD scaledMilliseconds(DWORD milliseconds) {
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("KIV_TIME_SCALE", text, sizeof text);
    const double scale = length > 0 && length < sizeof text ? std::atof(text) : 1.0;
    return static_cast<DWORD>(milliseconds * (scale > 1.0 ? scale : 1.0));
}

} // namespace tarrow::test
