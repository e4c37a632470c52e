#include "VmProcess.h"

#include <vector>

#include "Console.h"
#include "Errors.h"
#include "FileSystem.h"
#include "StringTable.h"

namespace tarrow {

UniqueHandle startProcess(const std::wstring& workingDirectory, const std::wstring& commandLine,
                          bool wait) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = console().input();
    startup.hStdOutput = console().output();
    startup.hStdError = console().error();

    const std::wstring directory =
        workingDirectory.empty() ? std::wstring() : fullPath(workingDirectory);
    if (directory.size() >= kPathBufferChars || commandLine.size() > kMaxCommandLineChars)
        throw TerminalError(vmStartFailedMessage(ERROR_FILENAME_EXCED_RANGE));

    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &info);
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (!started)
        throw TerminalError(vmStartFailedMessage(error));
    if (wait)
        WaitForSingleObject(process.get(), INFINITE);
    return process;
}

std::optional<DWORD> waitForExitCode(HANDLE process) {
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code))
        return std::nullopt;
    return code;
}

} // namespace tarrow
