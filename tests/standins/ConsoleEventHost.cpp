// Shares its console with a command it starts and delivers a console control event to that
// console once the command is ready, for tests of programs that must live through Ctrl+C or
// Ctrl+Break while a child of theirs answers it. Usage: console_event_host READY-FILE c|break,
// with the command line in KIV_RUN_LINE. It waits until READY-FILE exists (at most two minutes
// times KIV_TIME_SCALE), sends the event to every process of its console, ignoring it itself,
// waits for the command and exits with its exit code: 121 when the command did not start, 122
// when it was not ready in time, 123 when the event could not be sent, 124 when there is no
// console to send it in.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

BOOL WINAPI ignoreEvent(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

std::wstring variable(const wchar_t* name) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

DWORD scaled(DWORD milliseconds) {
    const double scale = std::wcstod(variable(L"KIV_TIME_SCALE").c_str(), nullptr);
    return static_cast<DWORD>(milliseconds * (scale > 1.0 ? scale : 1.0));
}

// Waits until `file` exists or `process` has ended.
bool awaitReady(const std::wstring& file, HANDLE process) {
    const ULONGLONG deadline = GetTickCount64() + scaled(120000);
    while (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > deadline || WaitForSingleObject(process, 10) == WAIT_OBJECT_0)
            return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 120;
    DWORD attached = 0;
    if (GetConsoleProcessList(&attached, 1) == 0 && !AllocConsole())
        return 124;
    SetConsoleCtrlHandler(ignoreEvent, TRUE);
    std::wstring line = variable(L"KIV_RUN_LINE");
    SetEnvironmentVariableW(L"KIV_RUN_LINE", nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (line.empty() || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info))
        return 121;
    CloseHandle(info.hThread);
    if (!awaitReady(argv[1], info.hProcess))
        return 122;
    const DWORD event = std::wstring(argv[2]) == L"break" ? CTRL_BREAK_EVENT : CTRL_C_EVENT;
    if (!GenerateConsoleCtrlEvent(event, 0))
        return 123;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 125;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
