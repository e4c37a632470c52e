// The baseline for the launch benchmark: starts the program named by its first argument with
// the rest of its command line, waits for it and returns its exit code. Nothing else, except
// that the READ_CONTROL_KEY variant also reads the Ctrl key as the launcher must (which loads
// the user-interface library), and the HAND_TEMPORARY_FILE variant also creates a file in the
// temporary folder with GetTempFileNameW, passes its path on and deletes it after the program
// ended, as the launcher does with its information file. Under Wine, creating a new name costs
// a read of the whole folder, which no launcher that hands such a file on can avoid.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
#ifdef READ_CONTROL_KEY
    if (GetKeyState(VK_CONTROL) < 0)
        return 3;
#endif
    std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i)
        line += L" " + std::wstring(argv[i]);
#ifdef HAND_TEMPORARY_FILE
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameW(folder, L"kiv", 0, file))
        return 4;
    line += L" \"" + std::wstring(file) + L"\"";
#endif
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
#ifdef HAND_TEMPORARY_FILE
        DeleteFileW(file);
#endif
        return 1;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
#ifdef HAND_TEMPORARY_FILE
    DeleteFileW(file);
#endif
    return static_cast<int>(code);
}
