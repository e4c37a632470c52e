// Functions of system libraries taken at run time, by name, into typed tables. WININET.dll is
// not one of Windows' "known DLLs": imported statically, it would be looked up beside the
// program before any of the program's code runs, so a copy planted in a download folder would
// run inside the launcher. It is loaded on first use from the system folder instead, as every
// table here is (other folders keep their own tables, filled with loadFunctions).
#pragma once

#include <windows.h>

#include <wininet.h>

#include <optional>

#include "SystemFunction.h"
#include "SystemLibrary.h"

namespace tarrow {

// A table of functions and, when it could not be filled, the error that stopped it.
template <typename Table> struct LoadedFunctions {
    std::optional<Table> table;
    DWORD error = ERROR_SUCCESS;

    // The table; null when it could not be filled, with the last error set to what stopped it.
    const Table* get() const {
        if (table)
            return &*table;
        SetLastError(error);
        return nullptr;
    }
};

// Sets `slot` to the function `name` of `module`; false when the module has no such function.
template <typename Function>
bool resolveFunction(HMODULE module, Function& slot, const char* name) {
    slot = lookupFunction<Function>(module, name);
    return slot != nullptr;
}

// Loads `library` from the system folder and fills a table with `fill(module, table)`, which
// resolves every slot with resolveFunction and returns false at the first one missing.
template <typename Table, typename Fill>
LoadedFunctions<Table> loadFunctions(const wchar_t* library, Fill fill) {
    const HMODULE module = loadSystemLibrary(library);
    Table table{};
    if (module && fill(module, table))
        return {table, ERROR_SUCCESS};
    const DWORD error = GetLastError();
    return {std::nullopt, error ? error : static_cast<DWORD>(ERROR_PROC_NOT_FOUND)};
}

struct InternetFunctions {
    decltype(&::InternetOpenW) open;
    decltype(&::InternetOpenUrlW) openUrl;
    decltype(&::InternetConnectW) connect;
    decltype(&::InternetCrackUrlW) crackUrl;
    decltype(&::InternetReadFile) readFile;
    decltype(&::InternetCloseHandle) closeHandle;
    decltype(&::HttpQueryInfoW) httpQueryInfo;
    decltype(&::FtpOpenFileW) ftpOpenFile;
};

// The WinINet functions, loaded once on first use; null when the library or one of its
// functions cannot be had, with the last error set to what stopped the load.
const InternetFunctions* internetFunctions();

} // namespace tarrow
