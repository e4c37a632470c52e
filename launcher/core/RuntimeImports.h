// Functions of VERSION.dll and WININET.dll. Neither is one of Windows' "known DLLs": imported
// statically, each would be looked up beside the program before any of the program's code
// runs, so a copy planted in a download folder would run inside the launcher. They are loaded
// on first use from the system folder instead, and called through these typed tables.
#pragma once

#include <windows.h>

#include <wininet.h>
#include <winver.h>

namespace tarrow {

struct VersionFunctions {
    decltype(&::GetFileVersionInfoSizeW) getFileVersionInfoSize;
    decltype(&::GetFileVersionInfoW) getFileVersionInfo;
    decltype(&::VerQueryValueW) verQueryValue;
};

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

// The version-resource functions, loaded once on first use; null when the library or one of
// its functions cannot be had, with the last error set to what stopped the load.
const VersionFunctions* versionFunctions();

// The WinINet functions, loaded once on first use; null when the library or one of its
// functions cannot be had, with the last error set to what stopped the load.
const InternetFunctions* internetFunctions();

} // namespace tarrow
