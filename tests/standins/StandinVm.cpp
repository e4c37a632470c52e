// A stand-in for a Java VM program, used by the tests and the demo. It records what it was
// given and behaves as the test asks, through environment variables the launcher passes on:
//   KIV_STANDIN_RECORD  file to append the record to (command line, directory, environment)
//   KIV_STANDIN_SCRIPT  output to write, "o:text|e:text|..." (o = standard output, e = error)
//   KIV_STANDIN_EXIT    exit code (decimal, all 32 bits)
//   KIV_STANDIN_SLEEP_MS  time to wait before exiting
#include <windows.h>

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

void writeRecord(const std::wstring& file) {
    FILE* out = _wfopen(file.c_str(), L"ab");
    if (!out)
        return;
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::fprintf(out, "program=%s\n", utf8(module).c_str());
    std::fprintf(out, "commandline=%s\n", utf8(GetCommandLineW()).c_str());
    std::fprintf(out, "cwd=%s\n", utf8(directory).c_str());
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

} // namespace

int wmain() {
    const std::wstring record = variable(L"KIV_STANDIN_RECORD");
    if (!record.empty())
        writeRecord(record);
    writeScript(variable(L"KIV_STANDIN_SCRIPT"));
    const std::wstring sleep = variable(L"KIV_STANDIN_SLEEP_MS");
    if (!sleep.empty())
        Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    const std::wstring code = variable(L"KIV_STANDIN_EXIT");
    ExitProcess(code.empty() ? 0 : static_cast<UINT>(std::wcstoul(code.c_str(), nullptr, 10)));
}
