// Dial-up natives of com.halvern.quorbane.client.configuration.RasDial: whether a connection is
// up, dialling the first phonebook entry, and hanging every connection up.
#include "RasRecords.h"

#include <jni.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "ConnectionList.h"
#include "com_halvern_quorbane_client_configuration_RasDial.h"
#include "NativeGuard.h"

namespace tarrow {

namespace {

constexpr DWORD kHangUpPauseMs = 100;
// A connection that RAS still lists while it goes down is hung up again in the next pass; a
// listing that never succeeds (RAS keeps asking for more room, or the room cannot be had)
// must not hold the Java thread for ever, so the passes and their time are bounded.
constexpr int kMaxHangUpPasses = 64;
constexpr ULONGLONG kMaxHangUpMs = 60000;

struct CrtFree {
    void operator()(void* block) const noexcept { std::free(block); }
};

// The name of the default phonebook's first entry; false when there is none.
bool firstEntryName(char (&name)[RAS_MaxEntryName + 1]) {
    DWORD size = sizeof(RasEntryName);
    DWORD count = 0;
    std::unique_ptr<RasEntryName, CrtFree> entries(
        static_cast<RasEntryName*>(std::malloc(sizeof(RasEntryName))));
    if (!entries)
        return false;
    entries->dwSize = sizeof(RasEntryName);
    DWORD result = enumEntries(entries.get(), &size, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        entries.reset(static_cast<RasEntryName*>(std::malloc(count * sizeof(RasEntryName))));
        if (!entries || count == 0)
            return false;
        entries->dwSize = sizeof(RasEntryName);
        result = enumEntries(entries.get(), &size, &count);
    }
    if (result != 0 || count == 0)
        return false;
    std::memcpy(name, entries->szEntryName, sizeof name);
    name[RAS_MaxEntryName] = '\0';
    return true;
}

bool dialFirstEntry() {
    RasDialParameters parameters;
    std::memset(&parameters, 0, sizeof parameters);
    parameters.dwSize = sizeof(RasDialParameters);
    if (!firstEntryName(parameters.szEntryName))
        return false;
    std::strcpy(parameters.szDomain, "*");
    BOOL passwordReturned = FALSE;
    if (getEntryDialParams(&parameters, &passwordReturned) != 0)
        return false;
    HRASCONN connection = nullptr;
    return dial(&parameters, &connection) == 0;
}

// One pass over the listed connections; the count RAS reported.
DWORD hangUpPass() {
    ConnectionList connections;
    if (connections.result() == 0) {
        for (DWORD i = 0; i < connections.count(); ++i) {
            RasHangUpA(connections[i].hrasconn);
            Sleep(kHangUpPauseMs);
        }
    }
    return connections.count();
}

} // namespace

} // namespace tarrow

using namespace tarrow;

extern "C" {

JNIEXPORT jboolean JNICALL
Java_com_halvern_quorbane_client_configuration_RasDial_isConnected(JNIEnv*, jclass) {
    return guarded<jboolean>(JNI_FALSE, []() -> jboolean {
        ConnectionList connections;
        return connections.result() == 0 && connections.count() > 0 ? JNI_TRUE : JNI_FALSE;
    });
}

JNIEXPORT jboolean JNICALL Java_com_halvern_quorbane_client_configuration_RasDial_DialUp(JNIEnv*,
                                                                                         jclass) {
    return guarded<jboolean>(JNI_FALSE,
                             []() -> jboolean { return dialFirstEntry() ? JNI_TRUE : JNI_FALSE; });
}

JNIEXPORT void JNICALL Java_com_halvern_quorbane_client_configuration_RasDial_HangUp(JNIEnv*,
                                                                                     jclass) {
    guarded<int>(0, [] {
        const ULONGLONG deadline = GetTickCount64() + kMaxHangUpMs;
        for (int pass = 0; pass < kMaxHangUpPasses && hangUpPass() != 0; ++pass) {
            if (GetTickCount64() >= deadline)
                break;
        }
        return 0;
    });
}

} // extern "C"
