#include "Trace.h"

#include <windows.h>

#include "Text.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

struct TraceSink {
    bool on = false;
    ULONGLONG start = GetTickCount64();
    UniqueHandle file;           // the trace file, when one is named
    HANDLE output = nullptr;     // where lines go: the file or standard error
    SRWLOCK lock = SRWLOCK_INIT; // the service's threads may trace at once
};

TraceSink& sink() {
    static TraceSink instance;
    return instance;
}

} // namespace

void startTrace(bool serviceMode) {
    TraceSink& s = sink();
    s.start = GetTickCount64();
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"KIV_TRACE", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    if (std::wstring(value, length) == L"1") {
        if (!serviceMode) {
            s.output = GetStdHandle(STD_ERROR_HANDLE);
            s.on = s.output != nullptr && s.output != INVALID_HANDLE_VALUE;
        }
        return;
    }
    s.file.reset(CreateFileW(value, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    s.output = s.file.get();
    s.on = static_cast<bool>(s.file);
}

bool tracing() {
    return sink().on;
}

void trace(const std::wstring& line) {
    TraceSink& s = sink();
    if (!s.on)
        return;
    // One line per step: line breaks inside a message become spaces.
    std::wstring flat = line;
    for (wchar_t& c : flat) {
        if (c == L'\n' || c == L'\r')
            c = L' ';
    }
    const std::string text =
        std::to_string(GetTickCount64() - s.start) + " " + toUtf8(flat) + "\r\n";
    // A slim lock rather than std::mutex, whose failure path links the library's whole
    // system_error machinery (some 90 KB); nothing between acquiring and releasing it throws.
    AcquireSRWLockExclusive(&s.lock);
    DWORD written = 0;
    WriteFile(s.output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ReleaseSRWLockExclusive(&s.lock);
}

} // namespace tarrow
