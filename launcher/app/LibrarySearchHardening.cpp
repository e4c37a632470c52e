// Hardens the library search order before anything else runs: libraries loaded later come
// from the system directory only, and the current directory is never searched. Each function
// is looked up by name, so older systems that lack them simply skip the step.
#include <windows.h>

#include "SystemFunction.h"

namespace {

using tarrow::lookupFunction;

struct LibrarySearchHardening {
    LibrarySearchHardening() {
        HMODULE kernel = GetModuleHandleW(L"KERNEL32");
        if (!kernel)
            return;
        using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
        using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);
        using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);
        if (auto f = lookupFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories"))
            f(0x800); // LOAD_LIBRARY_SEARCH_SYSTEM32
        if (auto f = lookupFunction<SetDllDirectoryWFn>(kernel, "SetDllDirectoryW"))
            f(L"");
        if (auto f = lookupFunction<SetSearchPathModeFn>(kernel, "SetSearchPathMode"))
            f(0x8001); // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT
    }
};

// Constructed during static initialisation, ahead of the entry point.
const LibrarySearchHardening hardening;

} // namespace
