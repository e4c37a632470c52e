// The baseline for the launch benchmark: starts the program named by its first argument with
// the rest of its command line, waits for it and returns its exit code. Nothing else, except
// that the READ_CONTROL_KEY variant also reads the Ctrl key as the launcher must (which loads
// the user-interface library).
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
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
        return 1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
