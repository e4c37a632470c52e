// Looks up a function of an already loaded or explicitly loaded module by name, so that
// functions missing on older systems are simply skipped.
#pragma once

#include <windows.h>

namespace tarrow {

template <typename Function> Function lookupFunction(HMODULE module, const char* name) {
    if (!module)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace tarrow
