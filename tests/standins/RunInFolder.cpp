// Runs the command line in KIV_RUN_LINE with the folder named as the only argument as its
// current directory, waits for it and exits with its exit code. Tests use it for start folders
// that a Unix shell cannot hand to Wine, such as a folder on a drive letter of Wine's own.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 || !SetCurrentDirectoryW(argv[1]))
        return 120;
    std::wstring line(GetEnvironmentVariableW(L"KIV_RUN_LINE", nullptr, 0), L'\0');
    line.resize(
        GetEnvironmentVariableW(L"KIV_RUN_LINE", line.data(), static_cast<DWORD>(line.size())));
    SetEnvironmentVariableW(L"KIV_RUN_LINE", nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (line.empty() || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info))
        return 121;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 122;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
