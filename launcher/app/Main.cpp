// Entry point of the launcher: switches off WOW64 redirection, parses the command line, runs
// the console launch (or the service host, or the branding command) and turns the outcome into
// the exit code.
#include <windows.h>

#include <cstdio>
#include <optional>

#include "BrandCommand.h"
#include "Branding.h"
#include "CommandLine.h"
#include "Console.h"
#include "ErrorLine.h"
#include "Errors.h"
#include "FileSystem.h"
#include "KIV.h"
#include "ServiceInstall.h"
#include "ServiceKIV.h"
#include "Settings.h"
#include "Trace.h"
#include "UniqueHandle.h"
#include "Wow64.h"

namespace {

using namespace tarrow;

std::optional<std::wstring> resolveExisting(const std::wstring& argument) {
    if (argument.empty() || !exists(argument))
        return std::nullopt;
    return fullPath(argument, {false, true});
}

// The "silent" rule over the arguments as the shell splits them.
bool silentArgument(bool current) {
    return silentFromArguments(splitLikeShell(GetCommandLineW()), current);
}

void pauseConsole() {
    std::fputws(L"[press enter to close this window]\n", stdout);
    std::fflush(stdout);
    std::getwchar();
}

DWORD runConsole(const CommandLine& commandLine) {
    KIV launcher(commandLine);
    launcher.setSilent(silentArgument(launcher.silent()));
    launcher.run(true);
    if (settings::consolePause(launcher.settings()) || GetKeyState(VK_CONTROL) < 0)
        pauseConsole();
    return launcher.vmExitCode();
}

constexpr int kFailedLaunchCode = 1;

// The error line on standard error; in service mode also in the event log.
void reportFailure(const CommandLine& commandLine, const std::wstring& message) {
    trace(L"launch failed: " + message);
    if (commandLine.serviceSwitch())
        reportServiceError(commandLine.serviceName(), message, kFailedLaunchCode);
    else
        console().printError(message);
}

} // namespace

int wmain() {
    disableWow64Redirection();
    const CommandLine commandLine = CommandLine::parse(GetCommandLineW(), resolveExisting);
    startTrace(commandLine.serviceSwitch());
    trace(L"launcher " + std::wstring(GetCommandLineW()));
    try {
        if (const auto argv = splitLikeShell(GetCommandLineW()); isBrandCommand(argv))
            return runBrand(argv);
        if (commandLine.serviceCommand() != ServiceCommand::None) {
            runServiceCommand(commandLine);
            return 0;
        }
        if (commandLine.serviceSwitch())
            return static_cast<int>(runService(commandLine));
        return static_cast<int>(runConsole(commandLine));
    } catch (const LaunchCancelled&) {
        trace(L"launch cancelled"); // the user has seen enough
    } catch (const TerminalError& error) {
        reportFailure(commandLine, error.message());
    } catch (const std::exception& error) {
        reportFailure(commandLine, unknownExceptionMessage(error.what()));
    }
    // A launch that failed is never reported as success.
    return kFailedLaunchCode;
}
