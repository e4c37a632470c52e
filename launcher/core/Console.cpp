#include "Console.h"

#include <atomic>

#include "ErrorLine.h"
#include "Errors.h"
#include "StringTable.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

// Console writes are split so that no single call exceeds what older consoles accept.
constexpr size_t kConsoleChunkChars = 8192;

std::wstring errorPrefix() {
    try {
        return getString(kErrorPrefix);
    } catch (const StringTableException&) {
        return L"Pellinor Error";
    }
}

void writeToConsole(HANDLE handle, const std::wstring& line) {
    for (size_t at = 0; at < line.size(); at += kConsoleChunkChars) {
        const DWORD count = static_cast<DWORD>(std::min(kConsoleChunkChars, line.size() - at));
        DWORD written = 0;
        if (!WriteConsoleW(handle, line.data() + at, count, &written, nullptr))
            return;
    }
}

void writeToFile(HANDLE handle, const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr) ||
            written == 0)
            return;
        at += written;
    }
}

// The job of a VM that is not attached to the console, set once the VM runs; read by the
// handler, which Windows runs on a thread of its own.
std::atomic<const VmJob*> windowedVmJob{nullptr};

BOOL WINAPI leaveToChild(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        trace(L"console event " + decimal(event) + L" left to the VM");
        return TRUE;
    case CTRL_CLOSE_EVENT:
        if (const VmJob* job = windowedVmJob.load()) {
            // A VM without the console gets no event of its own: it lives on, as it did before
            // it ran in a job, and the launcher ends now.
            job->keepProcessesOnClose();
            return TRUE;
        }
        // Windows ends the process as soon as this returns; the main thread ends it first, once
        // the VM has ended and the files are gone.
        trace(L"console closed: waiting for the VM to end");
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

ControlEventsLeftToChild::ControlEventsLeftToChild() {
    SetConsoleCtrlHandler(leaveToChild, TRUE);
}

ControlEventsLeftToChild::~ControlEventsLeftToChild() {
    SetConsoleCtrlHandler(leaveToChild, FALSE);
    // The job ends with the launch: a later handler must not reach it.
    windowedVmJob.store(nullptr);
}

void ControlEventsLeftToChild::releaseOnClose(const VmJob& job) {
    windowedVmJob.store(&job);
}

HANDLE Console::input() const {
    return GetStdHandle(STD_INPUT_HANDLE);
}

HANDLE Console::output() const {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

HANDLE Console::error() const {
    return GetStdHandle(STD_ERROR_HANDLE);
}

void Console::setTitle(const std::wstring& title) {
    SetConsoleTitleW(title.c_str());
}

std::wstring Console::printError(const std::wstring& message) {
    const std::wstring line = composeErrorLine(errorPrefix(), message);
    HANDLE handle = error();
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return line;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
        writeToConsole(handle, line);
    else
        writeToFile(handle, errorLineBytes(line));
    return line;
}

Console& console() {
    static Console instance;
    return instance;
}

} // namespace tarrow
