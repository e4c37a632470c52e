#include "RuntimeImports.h"

#include <optional>

#include "SystemFunction.h"
#include "SystemLibrary.h"

namespace tarrow {

namespace {

// A table and, when it could not be loaded, the error that stopped it.
template <typename Table> struct Loaded {
    std::optional<Table> table;
    DWORD error = ERROR_SUCCESS;
};

template <typename Table> const Table* tableOrError(const Loaded<Table>& loaded) {
    if (loaded.table)
        return &*loaded.table;
    SetLastError(loaded.error);
    return nullptr;
}

template <typename Function> bool resolve(HMODULE module, Function& slot, const char* name) {
    slot = lookupFunction<Function>(module, name);
    return slot != nullptr;
}

Loaded<InternetFunctions> loadInternetFunctions() {
    const HMODULE module = loadSystemLibrary(L"wininet.dll");
    InternetFunctions f{};
    if (module && resolve(module, f.open, "InternetOpenW") &&
        resolve(module, f.openUrl, "InternetOpenUrlW") &&
        resolve(module, f.connect, "InternetConnectW") &&
        resolve(module, f.crackUrl, "InternetCrackUrlW") &&
        resolve(module, f.readFile, "InternetReadFile") &&
        resolve(module, f.closeHandle, "InternetCloseHandle") &&
        resolve(module, f.httpQueryInfo, "HttpQueryInfoW") &&
        resolve(module, f.ftpOpenFile, "FtpOpenFileW"))
        return {f, ERROR_SUCCESS};
    return {std::nullopt, GetLastError()};
}

} // namespace

const InternetFunctions* internetFunctions() {
    static const Loaded<InternetFunctions> loaded = loadInternetFunctions();
    return tableOrError(loaded);
}

} // namespace tarrow
