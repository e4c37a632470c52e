#include "VmProcess.h"

#include "ChildProcess.h"
#include "Console.h"
#include "Errors.h"
#include "FileSystem.h"
#include "StringTable.h"

namespace tarrow {

UniqueHandle startProcess(const std::wstring& workingDirectory, const std::wstring& commandLine,
                          bool wait, const VmJob* job) {
    const std::wstring directory =
        workingDirectory.empty() ? std::wstring() : fullPath(workingDirectory);
    if (directory.size() >= kPathBufferChars)
        throw TerminalError(vmStartFailedMessage(ERROR_FILENAME_EXCED_RANGE));
    const bool joins = job && *job;
    ChildProcess child = startChild(
        commandLine, directory, {console().input(), console().output(), console().error()},
        (joins ? CREATE_SUSPENDED : 0) | (console().windowless() ? CREATE_NO_WINDOW : 0));
    if (!child)
        throw TerminalError(vmStartFailedMessage(child.error));
    if (joins) {
        job->assign(child.process.get());
        ResumeThread(child.thread.get());
    }
    if (wait)
        WaitForSingleObject(child.process.get(), INFINITE);
    return std::move(child.process);
}

std::optional<DWORD> waitForExitCode(HANDLE process) {
    DWORD code = 0;
    if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code))
        return std::nullopt;
    return code;
}

} // namespace tarrow
