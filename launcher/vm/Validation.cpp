#include "Validation.h"

#include <windows.h>

#include <vector>

#include "Errors.h"
#include "FileSystem.h"
#include "JVM.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"
#include "VerifyOutput.h"
#include "VmProcess.h"

namespace tarrow {

namespace {

constexpr DWORD kPollMs = 20;
// How long an ended probe may take to go away.
constexpr DWORD kEndWaitMs = 5000;
constexpr size_t kVerifyOutputBytes = 4096;

std::wstring probeArchive(const std::wstring& baseFolder) {
    const std::wstring beside = baseFolder + L"\\Verify.jar";
    if (!exists(beside) && !endsWith(baseFolder, L"jvmspecs") &&
        !endsWith(baseFolder, L"jvmspecs\\"))
        return baseFolder + L"\\jvmspecs\\Verify.jar";
    return beside;
}

// Moves whatever the pipe holds now into `output`; bytes beyond the limit are read and dropped.
void drainPipe(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[1024];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) ||
            got == 0)
            return;
        const size_t room = kVerifyOutputBytes - std::min(kVerifyOutputBytes, output.size());
        output.append(buffer, std::min<size_t>(got, room));
    }
}

enum class ProbeRun { Ended, NotStarted, TimedOut };

// Starts the probe with standard output and error on one pipe and collects what it prints
// while it runs; a probe still running at the limit is ended.
ProbeRun runProbe(const std::wstring& commandLine, const std::wstring& directory,
                  unsigned long timeoutMs, std::string& output) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0))
        return ProbeRun::NotStarted;
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    ChildProcess child = startChild(commandLine, directory,
                                    {nullptr, writeEnd.get(), writeEnd.get()}, CREATE_NO_WINDOW);
    // Only the child holds the write end now, so the pipe breaks when it ends.
    writeEnd.reset();
    if (!child)
        return ProbeRun::NotStarted;
    const UniqueHandle& process = child.process;

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        drainPipe(readEnd.get(), output);
        if (WaitForSingleObject(process.get(), kPollMs) == WAIT_OBJECT_0)
            break;
        if (GetTickCount64() >= deadline) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), kEndWaitMs);
            return ProbeRun::TimedOut;
        }
    }
    drainPipe(readEnd.get(), output);
    return ProbeRun::Ended;
}

} // namespace

bool runValidator(JVM& vm, const std::wstring& word) {
    JavaOptions options;
    options.classPath = vm.options.classPath;
    options.versionOptions = vm.options.versionOptions;
    options.mainClass = L"com.mirov.util.jvm.Validator";
    options.appArguments = {L"1", word};
    try {
        UniqueHandle process = vm.launch(options, true);
        DWORD code = 0;
        const bool known = GetExitCodeProcess(process.get(), &code);
        trace(L"validator \"" + word + L"\" in " + vm.executablePath() +
              (known ? L" exited with " + decimal(code) : L" gave no exit code"));
        return known && code == 0;
    } catch (const TerminalError& error) {
        trace(L"validator \"" + word + L"\" in " + vm.executablePath() + L" did not start: " +
              error.message());
        return false;
    }
}

bool verifyProperties(const std::wstring& program,
                      const std::map<std::wstring, std::wstring>& properties,
                      const std::wstring& baseFolder, unsigned long timeoutMs,
                      const std::wstring& vmOptions) {
    const std::wstring archive = probeArchive(baseFolder);
    if (!exists(archive) || isDirectory(archive))
        return false;
    std::wstring commandLine = L"\"" + program + L"\"" +
                               (vmOptions.empty() ? L"" : L" " + vmOptions) + L" -classpath \"" +
                               archive + L"\" Verify";
    for (const auto& property : properties)
        commandLine += L" " + property.first;
    std::string output;
    const ProbeRun run = runProbe(commandLine, fullPath(baseFolder), timeoutMs, output);
    if (run == ProbeRun::NotStarted) {
        trace(L"Verify probe in " + program + L" could not start");
        return false;
    }
    if (run == ProbeRun::TimedOut) {
        trace(L"Verify probe in " + program + L" still ran at its limit of " +
              decimal(static_cast<long long>(timeoutMs)) + L" ms: ended, VM rejected");
        return false;
    }
    const bool matches = verifyOutputMatches(fromUtf8(output), properties);
    if (tracing()) {
        std::wstring expected;
        for (const auto& property : properties)
            expected += L" " + property.first + L"=" + property.second;
        trace(L"Verify probe in " + program + (matches ? L" matched" : L" did not match") +
              L" (expected" + expected + L"; printed \"" +
              replaceAll(replaceAll(fromUtf8(output), L"\r", L""), L"\n", L"|") + L"\")");
    }
    return matches;
}

} // namespace tarrow
