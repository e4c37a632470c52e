// The RAS records Nettaro uses. The 32-bit library uses the original layouts (412-byte
// connections, 264-byte entry names, 1052-byte dial parameters), which every RAS version
// accepts by their dwSize; the 64-bit build uses the platform's own layouts.
#pragma once

#include <windows.h>

#include <ras.h>
#include <raserror.h>

namespace tarrow {

#if defined(_WIN64)
using RasConnection = RASCONNA;
using RasEntryName = RASENTRYNAMEA;
using RasDialParameters = RASDIALPARAMSA;
#else
struct RasConnection {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
struct RasEntryName {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
};
struct RasDialParameters {
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
};
static_assert(sizeof(RasConnection) == 412, "connection record of 412 bytes");
static_assert(sizeof(RasEntryName) == 264, "entry name record of 264 bytes");
static_assert(sizeof(RasDialParameters) == 1052, "dial parameters of 1052 bytes");
#endif

inline DWORD enumConnections(RasConnection* records, DWORD* size, DWORD* count) {
    return RasEnumConnectionsA(reinterpret_cast<LPRASCONNA>(records), size, count);
}

inline DWORD enumEntries(RasEntryName* entries, DWORD* size, DWORD* count) {
    return RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(entries), size,
                           count);
}

inline DWORD getEntryDialParams(RasDialParameters* parameters, BOOL* passwordReturned) {
    return RasGetEntryDialParamsA(nullptr, reinterpret_cast<LPRASDIALPARAMSA>(parameters),
                                  passwordReturned);
}

inline DWORD dial(RasDialParameters* parameters, HRASCONN* connection) {
    return RasDialA(nullptr, nullptr, reinterpret_cast<LPRASDIALPARAMSA>(parameters), 0, nullptr,
                    connection);
}

} // namespace tarrow
