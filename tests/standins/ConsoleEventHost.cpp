// Shares its console with a command it starts and delivers a console control event to that
// console once the command is ready, for tests of programs that must live through Ctrl+C or
// Ctrl+Break while a child of theirs answers it. Usage: console_event_host LOG READY-FILE EVENT,
// with the command line in KIV_RUN_LINE. EVENT is "c" or "break", sent with
// GenerateConsoleCtrlEvent to every process of its console (itself ignoring it), or
// "break-thread": Ctrl+Break delivered as Windows' console delivers it, a new thread in each
// other process of the console running the system's control routine with the event.
// It waits until READY-FILE exists (at most two minutes times KIV_TIME_SCALE), delivers the
// event, waits for the command and exits with its exit code: 121 when the command did not start,
// 122 when it was not ready in time, 123 when the event could not be sent (the command is then
// ended), 124 when there is no
// console to send it in. LOG gets a line at each step, so that a test tells how far it came:
// "started" first of all, "sending" just before the event goes out, "refused N" (the system's
// error number) when it is not sent, "exit N" at the end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring g_log;

void log(const char* format, unsigned long value = 0) {
    if (FILE* out = _wfopen(g_log.c_str(), L"ab")) {
        std::fprintf(out, format, value);
        std::fputc('\n', out);
        std::fclose(out);
    }
}

int finish(int code) {
    log("exit %lu", static_cast<unsigned long>(code));
    return code;
}

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

// Starts the system's control routine with `event` on a new thread in every other process of
// the console; the routine has the same address in each, as the system library does.
bool deliverByThreads(DWORD event) {
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
    DWORD ids[16];
    const DWORD count = GetConsoleProcessList(ids, 16);
    if (!routine || count == 0 || count > 16)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        if (ids[i] == GetCurrentProcessId())
            continue;
        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, ids[i]);
        HANDLE thread = process ? CreateRemoteThread(process, nullptr, 0, routine,
                                                     reinterpret_cast<void*>(event), 0, nullptr)
                                : nullptr;
        if (process)
            CloseHandle(process);
        if (!thread)
            return false;
        CloseHandle(thread);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 120;
    g_log = argv[1];
    log("started");
    DWORD attached = 0;
    if (GetConsoleProcessList(&attached, 1) == 0 && !AllocConsole())
        return finish(124);
    SetConsoleCtrlHandler(ignoreEvent, TRUE);
    std::wstring line = variable(L"KIV_RUN_LINE");
    SetEnvironmentVariableW(L"KIV_RUN_LINE", nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (line.empty() || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info))
        return finish(121);
    CloseHandle(info.hThread);
    if (!awaitReady(argv[2], info.hProcess))
        return finish(122);
    const std::wstring event = argv[3];
    log("sending");
    const bool sent =
        event == L"break-thread"
            ? deliverByThreads(CTRL_BREAK_EVENT)
            : GenerateConsoleCtrlEvent(event == L"break" ? CTRL_BREAK_EVENT : CTRL_C_EVENT, 0);
    if (!sent) {
        log("refused %lu", GetLastError());
        TerminateProcess(info.hProcess, 123); // nothing waits for an event that never comes
        return finish(123);
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 125;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return finish(static_cast<int>(code));
}
