// A stand-in for a Java VM program, used by the tests and the demo. It records what it was
// given and behaves as the test asks, through environment variables the launcher passes on:
//   KIV_STANDIN_RECORD  file to append the record to (command line, directory, environment)
//   KIV_STANDIN_SCRIPT  output to write, "o:text|e:text|..." (o = standard output, e = error)
//   KIV_STANDIN_EXIT    exit code (decimal, all 32 bits)
//   KIV_STANDIN_SLEEP_MS  time to wait before exiting
// Each setting can also come from a file beside the program, for runs that do not inherit the
// test's environment (services): standin-record.txt, standin-exit.txt, standin-sleep-ms.txt;
// standin-child.txt names a program that is started (and not waited for) before the sleep, with
// CREATE_BREAKAWAY_FROM_JOB when standin-breakaway.txt (or KIV_STANDIN_BREAKAWAY) holds "1";
// standin-hold.txt (or KIV_STANDIN_HOLD) names a file: after its record the stand-in waits until
// that file exists (at most two minutes), so that a test decides when the VM ends.
// standin-console-event.txt (or KIV_STANDIN_CONSOLE_EVENT) names a file: the stand-in takes
// Ctrl+C and Ctrl+Break itself, creates that file once it does, then waits (at most two minutes)
// for such an event and records it as a "consoleevent=" line before it goes on to its sleep and
// exit, so that it ends after the launcher has had the event.
// Each "@file" argument's content is recorded as an "argfile=" line, as a Java VM reads it; a
// "-classpath" that names a jar (a file starting "PK") is recorded in hexadecimal as a
// "classpathjar=" line, and each argument that names an existing ".tmp" file (the VM information
// file) as a "tempfile=" line in hexadecimal, since they are gone once the VM has ended.
// Run as the application's validator ("com.mirov.util.jvm.Validator" on its command line), it
// exits with the number in "validator-exit.txt" beside the program (0 when there is none).
// Run as the "Verify" probe, it prints the bytes of "verify-output.txt" beside the program, or
// hangs when "verify-hang" lies there; "verify-delay-ms.txt" makes it wait that long first (a
// slow VM). Run as a service's stop class ("kiv.test.StopApplication"
// on its command line), it creates the file its next argument names, if any (the release file
// a held stand-in waits for), and exits with 0.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring variable(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string fileContents(const std::wstring& path, bool& found) {
    FILE* in = _wfopen(path.c_str(), L"rb");
    found = in != nullptr;
    std::string contents;
    if (!in)
        return contents;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        contents.append(buffer, got);
    std::fclose(in);
    return contents;
}

void writeHex(FILE* out, const char* key, const std::string& bytes) {
    std::fprintf(out, "%s=", key);
    for (unsigned char c : bytes)
        std::fprintf(out, "%02x", c);
    std::fprintf(out, "\n");
}

void writeRecord(const std::wstring& file) {
    FILE* out = _wfopen(file.c_str(), L"ab");
    if (!out)
        return;
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::fprintf(out, "program=%s\n", utf8(module).c_str());
    std::fprintf(out, "pid=%lu\n", GetCurrentProcessId());
    std::fprintf(out, "commandline=%s\n", utf8(GetCommandLineW()).c_str());
    std::fprintf(out, "cwd=%s\n", utf8(directory).c_str());
    // Whether the console the stand-in runs in has a window: 0 when it has none.
    std::fprintf(out, "consolewindow=%llx\n",
                 static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetConsoleWindow())));
    // Java argument files ("@file" arguments), as they were when the VM started.
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i) {
        bool found = false;
        if (argv[i][0] == L'@')
            std::fprintf(out, "argfile=%s\n", fileContents(argv[i] + 1, found).c_str());
        const std::wstring argument = argv[i];
        if (argument.size() > 4 && _wcsicmp(argument.c_str() + argument.size() - 4, L".tmp") == 0 &&
            (i == 1 || std::wstring(argv[i - 1]) != L"-classpath")) {
            const std::string content = fileContents(argument, found);
            if (found)
                writeHex(out, "tempfile", content);
        }
        if (std::wstring(argv[i]) == L"-classpath" && i + 1 < count) {
            const std::string jar = fileContents(argv[i + 1], found);
            if (jar.rfind("PK", 0) == 0)
                writeHex(out, "classpathjar", jar);
        }
    }
    LocalFree(argv);
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; entry && *entry; entry += wcslen(entry) + 1)
        std::fprintf(out, "env=%s\n", utf8(entry).c_str());
    FreeEnvironmentStringsW(block);
    std::fprintf(out, "end\n");
    std::fclose(out);
}

void writeScript(const std::wstring& script) {
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find(L'|', start);
        if (end == std::wstring::npos)
            end = script.size();
        const std::wstring part = script.substr(start, end - start);
        if (part.size() >= 2 && part[1] == L':') {
            const std::string text = utf8(part.substr(2)) + "\n";
            HANDLE handle = GetStdHandle(part[0] == L'e' ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
            DWORD written = 0;
            WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        }
        start = end + 1;
    }
}

std::wstring besideProgram(const wchar_t* name) {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

// The environment variable, or else the trimmed content of the file beside the program.
std::wstring setting(const wchar_t* variableName, const wchar_t* fileName) {
    const std::wstring value = variable(variableName);
    if (!value.empty())
        return value;
    bool found = false;
    std::string text = fileContents(besideProgram(fileName), found);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return std::wstring(text.begin(), text.end());
}

void startChild(const std::wstring& program, bool breakaway) {
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // The child's own settings come from the files beside it, not from the VM's environment.
    for (const wchar_t* name :
         {L"KIV_STANDIN_CHILD", L"KIV_STANDIN_HOLD", L"KIV_STANDIN_RECORD", L"KIV_STANDIN_SLEEP_MS",
          L"KIV_STANDIN_EXIT", L"KIV_STANDIN_BREAKAWAY", L"KIV_STANDIN_CONSOLE_EVENT"})
        SetEnvironmentVariableW(name, nullptr);
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                       breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

void waitForFile(const std::wstring& path) {
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount64() < deadline)
        Sleep(10);
}

HANDLE g_consoleEvent = nullptr;
DWORD g_eventSeen = 0;

BOOL WINAPI takeConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    g_eventSeen = event;
    SetEvent(g_consoleEvent);
    return TRUE;
}

// Waits for Ctrl+C or Ctrl+Break after announcing through `ready` that it takes them.
void awaitConsoleEvent(const std::wstring& ready, const std::wstring& record) {
    g_consoleEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(takeConsoleEvent, TRUE);
    if (FILE* out = _wfopen(ready.c_str(), L"wb"))
        std::fclose(out);
    if (WaitForSingleObject(g_consoleEvent, 120000) != WAIT_OBJECT_0 || record.empty())
        return;
    if (FILE* out = _wfopen(record.c_str(), L"ab")) {
        std::fprintf(out, "consoleevent=%lu\n", g_eventSeen);
        std::fclose(out);
    }
}

bool hasArgument(const std::wstring& name) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    bool found = false;
    for (int i = 1; argv && i < count; ++i)
        found = found || name == argv[i];
    LocalFree(argv);
    return found;
}

[[noreturn]] void actAsValidator() {
    bool found = false;
    const std::string code = fileContents(besideProgram(L"validator-exit.txt"), found);
    ExitProcess(found ? static_cast<UINT>(std::strtoul(code.c_str(), nullptr, 10)) : 0);
}

[[noreturn]] void actAsVerifyProbe() {
    bool hang = false;
    fileContents(besideProgram(L"verify-hang"), hang);
    if (hang)
        Sleep(INFINITE);
    bool found = false;
    const std::string delay = fileContents(besideProgram(L"verify-delay-ms.txt"), found);
    if (found)
        Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
    const std::string output = fileContents(besideProgram(L"verify-output.txt"), found);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), output.data(), static_cast<DWORD>(output.size()),
              &written, nullptr);
    ExitProcess(0);
}

[[noreturn]] void actAsStopClass() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i + 1 < count; ++i) {
        if (std::wstring(argv[i]) == L"kiv.test.StopApplication") {
            if (FILE* out = _wfopen(argv[i + 1], L"wb"))
                std::fclose(out);
        }
    }
    ExitProcess(0);
}

} // namespace

int wmain() {
    const std::wstring record = setting(L"KIV_STANDIN_RECORD", L"standin-record.txt");
    if (!record.empty())
        writeRecord(record);
    if (hasArgument(L"com.mirov.util.jvm.Validator"))
        actAsValidator();
    if (hasArgument(L"Verify"))
        actAsVerifyProbe();
    if (hasArgument(L"kiv.test.StopApplication"))
        actAsStopClass();
    writeScript(variable(L"KIV_STANDIN_SCRIPT"));
    // Read before a child is started, which clears them from this environment.
    const std::wstring child = setting(L"KIV_STANDIN_CHILD", L"standin-child.txt");
    const bool breakaway = setting(L"KIV_STANDIN_BREAKAWAY", L"standin-breakaway.txt") == L"1";
    const std::wstring consoleEvent =
        setting(L"KIV_STANDIN_CONSOLE_EVENT", L"standin-console-event.txt");
    const std::wstring hold = setting(L"KIV_STANDIN_HOLD", L"standin-hold.txt");
    const std::wstring sleep = setting(L"KIV_STANDIN_SLEEP_MS", L"standin-sleep-ms.txt");
    const std::wstring code = setting(L"KIV_STANDIN_EXIT", L"standin-exit.txt");
    if (!child.empty())
        startChild(child, breakaway);
    if (!consoleEvent.empty())
        awaitConsoleEvent(consoleEvent, record);
    if (!hold.empty())
        waitForFile(hold);
    if (!sleep.empty())
        Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    ExitProcess(code.empty() ? 0 : static_cast<UINT>(std::wcstoul(code.c_str(), nullptr, 10)));
}
