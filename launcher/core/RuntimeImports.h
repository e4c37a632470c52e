// Functions of WININET.dll. It is not one of Windows' "known DLLs": imported statically, it
// would be looked up beside the program before any of the program's code runs, so a copy
// planted in a download folder would run inside the launcher. It is loaded on first use from
// the system folder instead, and called through this typed table.
#pragma once

#include <windows.h>

#include <wininet.h>

namespace tarrow {

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
