// FOR TESTS ONLY: a "java.exe" that runs this machine's Linux Java in its place, so that the
// end-to-end tests can launch a real JVM. The launcher starts this program as it would start a
// Windows VM; it starts tests/e2e/java_bridge.py (named by KIV_JAVA_BRIDGE, a Linux path) with
// its own arguments exactly as it received them, and a result file. Wine hands a Linux program
// the standard handles but cannot wait for it, so the Linux side writes the JVM's exit code to
// that file, and this program waits for it, hands on what the JVM printed (kept in two files
// beside it, as Wine does not pass a Windows pipe to a Linux program) and exits with that code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The command line after the program's own token, exactly as Windows split it from the rest.
std::wstring argumentsAsGiven() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    return line;
}

// Copies a file's bytes to a standard handle and deletes the file.
void relay(const std::wstring& file, DWORD handle) {
    FILE* in = _wfopen(file.c_str(), L"rb");
    if (in) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
            DWORD written = 0;
            WriteFile(GetStdHandle(handle), buffer, static_cast<DWORD>(got), &written, nullptr);
        }
        std::fclose(in);
    }
    DeleteFileW(file.c_str());
}

std::wstring variable(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

} // namespace

int wmain() {
    const std::wstring script = variable(L"KIV_JAVA_BRIDGE");
    wchar_t folder[MAX_PATH], result[MAX_PATH];
    if (script.empty() || !GetTempPathW(MAX_PATH, folder) ||
        !GetTempFileNameW(folder, L"jbr", 0, result))
        return 120;
    std::wstring line =
        L"\"Z:\\usr\\bin\\python3\" \"" + script + L"\" \"" + result + L"\"" + argumentsAsGiven();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
        return 121;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    // The Linux side writes the exit code when the JVM has ended (at most ten minutes).
    for (int waited = 0; waited < 600000; waited += 20) {
        FILE* in = _wfopen(result, L"rb");
        char text[32] = {};
        const size_t got = in ? std::fread(text, 1, sizeof text - 1, in) : 0;
        if (in)
            std::fclose(in);
        if (got > 0 && text[got - 1] == '\n') {
            DeleteFileW(result);
            relay(std::wstring(result) + L".out", STD_OUTPUT_HANDLE);
            relay(std::wstring(result) + L".err", STD_ERROR_HANDLE);
            return static_cast<int>(std::strtol(text, nullptr, 10));
        }
        Sleep(20);
    }
    return 122;
}
