#include "ChildProcess.h"

#include <vector>

namespace tarrow {

ChildProcess startChild(const std::wstring& commandLine, const std::wstring& directory,
                        const StandardHandles& handles, DWORD creationFlags) {
    ChildProcess child;
    if (commandLine.size() > kMaxCommandLineChars) {
        child.error = ERROR_FILENAME_EXCED_RANGE;
        return child;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = handles.input;
    startup.hStdOutput = handles.output;
    startup.hStdError = handles.error;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &info);
    child.error = started ? ERROR_SUCCESS : GetLastError();
    child.process.reset(info.hProcess);
    child.thread.reset(info.hThread);
    return child;
}

} // namespace tarrow
