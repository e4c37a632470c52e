#include "RuntimeImports.h"

namespace tarrow {

namespace {

bool fillInternetFunctions(HMODULE module, InternetFunctions& f) {
    return resolveFunction(module, f.open, "InternetOpenW") &&
           resolveFunction(module, f.openUrl, "InternetOpenUrlW") &&
           resolveFunction(module, f.connect, "InternetConnectW") &&
           resolveFunction(module, f.crackUrl, "InternetCrackUrlW") &&
           resolveFunction(module, f.readFile, "InternetReadFile") &&
           resolveFunction(module, f.closeHandle, "InternetCloseHandle") &&
           resolveFunction(module, f.httpQueryInfo, "HttpQueryInfoW") &&
           resolveFunction(module, f.ftpOpenFile, "FtpOpenFileW");
}

} // namespace

const InternetFunctions* internetFunctions() {
    static const LoadedFunctions<InternetFunctions> loaded =
        loadFunctions<InternetFunctions>(L"wininet.dll", fillInternetFunctions);
    return loaded.get();
}

} // namespace tarrow
