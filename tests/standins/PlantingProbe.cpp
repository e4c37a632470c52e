// The DLL-planting test's reference programs. Both import what the launcher imports (USER32,
// SHELL32, ADVAPI32, KERNEL32): the baseline shows which planted libraries the system loads
// for those alone (under Wine, its USER32 imports VERSION and zlib1). The probe, built with
// PROBE_IMPORTS_WININET, also imports WININET statically, as a program open to planting does,
// and shows that the planted copy is then taken.
#include <windows.h>

#include <shellapi.h>
#ifdef PROBE_IMPORTS_WININET
#include <wininet.h>
#endif

int wmain(int argc, wchar_t** argv) {
    // Never called in the test; the imports alone decide what the loader does.
    if (argc > 5) {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, KEY_READ, &key);
        ShellExecuteW(nullptr, nullptr, argv[2], nullptr, nullptr, SW_SHOW);
#ifdef PROBE_IMPORTS_WININET
        InternetCloseHandle(nullptr);
#endif
        return GetKeyState(VK_CONTROL);
    }
    return 0;
}
