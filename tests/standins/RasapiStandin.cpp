// Stand-in for the Remote Access Service library (rasapi32.dll), for tests: a programmable set
// of connections and phonebook entries, loaded in place of the system library through
// WINEDLLOVERRIDES. It records RasGetEntryDialParamsA's and RasDialA's parameters and every
// RasHangUpA with the time in milliseconds.
//   RAS_STANDIN_CONNECTIONS  number of connections at start
//   RAS_STANDIN_ENTRIES      phonebook entries, "Office,Home"
//   RAS_STANDIN_LINGER       listings that still show a connection after it was hung up
//   RAS_STANDIN_LOG          file that receives one line per call
//   RAS_STANDIN_NO_ROOM      when set, every listing asks for more room than it was given
#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Connection {
    int id;
    std::string entry;
    int lingering; // listings left after a hang-up; -1 while up
};

std::vector<Connection> g_connections;
std::vector<std::string> g_entries;
int g_nextId = 100;
bool g_loaded = false;

std::string variable(const char* name) {
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

void load() {
    if (g_loaded)
        return;
    g_loaded = true;
    const int count = std::atoi(variable("RAS_STANDIN_CONNECTIONS").c_str());
    for (int i = 0; i < count; ++i)
        g_connections.push_back({g_nextId++, "Line" + std::to_string(i), -1});
    const std::string entries = variable("RAS_STANDIN_ENTRIES");
    size_t start = 0;
    while (start < entries.size()) {
        size_t end = entries.find(',', start);
        if (end == std::string::npos)
            end = entries.size();
        g_entries.push_back(entries.substr(start, end - start));
        start = end + 1;
    }
}

void log(const char* format, ...) {
    const std::string path = variable("RAS_STANDIN_LOG");
    if (path.empty())
        return;
    FILE* out = std::fopen(path.c_str(), "ab");
    if (!out)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(out, format, args);
    va_end(args);
    std::fputc('\n', out);
    std::fclose(out);
}

// Record sizes the system library accepts: its own layouts and, from 32-bit callers, the
// original ones of the first RAS versions (412-byte connections, 264-byte entry names). The
// records it writes take the size the caller gave.
bool knownSize(DWORD size, DWORD current, DWORD original) {
    return size == current || (sizeof(void*) == 4 && size == original);
}

template <typename Record> Record* recordAt(Record* first, size_t index, DWORD stride) {
    return reinterpret_cast<Record*>(reinterpret_cast<char*>(first) + index * stride);
}

} // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI
    RasEnumConnectionsA(LPRASCONNA records, LPDWORD size, LPDWORD count) {
    load();
    std::vector<Connection> listed;
    for (auto it = g_connections.begin(); it != g_connections.end();) {
        listed.push_back(*it);
        if (it->lingering == 0) {
            it = g_connections.erase(it);
            continue;
        }
        if (it->lingering > 0)
            --it->lingering;
        ++it;
    }
    log("enum size=%lu record=%lu listed=%zu", *size, records ? records->dwSize : 0, listed.size());
    if (!records || !knownSize(records->dwSize, sizeof(RASCONNA), 412))
        return ERROR_INVALID_SIZE;
    const DWORD stride = records->dwSize;
    const DWORD needed = static_cast<DWORD>(listed.size() * stride);
    *count = static_cast<DWORD>(listed.size());
    const bool noRoom = !variable("RAS_STANDIN_NO_ROOM").empty();
    if (*size < needed || noRoom) {
        *size = noRoom ? *size + stride : needed;
        // Nothing was listed: the hang-ups of this listing did not happen yet.
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < listed.size(); ++i) {
        RASCONNA* record = recordAt(records, i, stride);
        ZeroMemory(record, stride);
        record->dwSize = stride;
        record->hrasconn = reinterpret_cast<HRASCONN>(static_cast<intptr_t>(listed[i].id));
        lstrcpynA(record->szEntryName, listed[i].entry.c_str(), RAS_MaxEntryName + 1);
    }
    *size = needed;
    return 0;
}

__declspec(dllexport) DWORD WINAPI RasHangUpA(HRASCONN connection) {
    load();
    const int id = static_cast<int>(reinterpret_cast<intptr_t>(connection));
    log("hangup id=%d t=%llu", id, GetTickCount64());
    const int linger = std::atoi(variable("RAS_STANDIN_LINGER").c_str());
    for (auto& c : g_connections) {
        if (c.id == id && c.lingering < 0)
            c.lingering = linger;
    }
    return 0;
}

__declspec(dllexport) DWORD WINAPI
    RasEnumEntriesA(LPCSTR, LPCSTR phonebook, LPRASENTRYNAMEA entries, LPDWORD size,
                    LPDWORD count) {
    load();
    log("entries size=%lu record=%lu phonebook=%s", *size, entries ? entries->dwSize : 0,
        phonebook ? phonebook : "(default)");
    if (!entries || !knownSize(entries->dwSize, sizeof(RASENTRYNAMEA), 264))
        return ERROR_INVALID_SIZE;
    const DWORD stride = entries->dwSize;
    const DWORD needed = static_cast<DWORD>(g_entries.size() * stride);
    *count = static_cast<DWORD>(g_entries.size());
    if (*size < needed || !variable("RAS_STANDIN_NO_ROOM").empty()) {
        *size = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < g_entries.size(); ++i) {
        RASENTRYNAMEA* entry = recordAt(entries, i, stride);
        ZeroMemory(entry, stride);
        entry->dwSize = stride;
        lstrcpynA(entry->szEntryName, g_entries[i].c_str(), RAS_MaxEntryName + 1);
    }
    return 0;
}

__declspec(dllexport) DWORD WINAPI
    RasGetEntryDialParamsA(LPCSTR phonebook, LPRASDIALPARAMSA p, LPBOOL password) {
    load();
    log("getparams size=%lu entry=%s phone=[%s] callback=[%s] user=[%s] password=[%s] "
        "domain=[%s] phonebook=%s",
        p->dwSize, p->szEntryName, p->szPhoneNumber, p->szCallbackNumber, p->szUserName,
        p->szPassword, p->szDomain, phonebook ? phonebook : "(default)");
    for (const auto& entry : g_entries) {
        if (entry == p->szEntryName) {
            lstrcpyA(p->szUserName, "stored-user");
            lstrcpyA(p->szPassword, "stored-secret");
            *password = TRUE;
            return 0;
        }
    }
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

__declspec(dllexport) DWORD WINAPI
    RasDialA(LPRASDIALEXTENSIONS extensions, LPCSTR phonebook, LPRASDIALPARAMSA p,
             DWORD notifierType, LPVOID notifier, LPHRASCONN connection) {
    load();
    log("dial entry=%s user=%s domain=%s extensions=%d phonebook=%d notifier=%lu/%d",
        p->szEntryName, p->szUserName, p->szDomain, extensions != nullptr, phonebook != nullptr,
        notifierType, notifier != nullptr);
    const int id = g_nextId++;
    g_connections.push_back({id, p->szEntryName, -1});
    *connection = reinterpret_cast<HRASCONN>(static_cast<intptr_t>(id));
    return 0;
}
}
