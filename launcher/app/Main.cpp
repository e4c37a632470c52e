// Entry point of the launcher: switches off WOW64 redirection, parses the command line, runs
// the console launch (or the service host, or the branding command) and turns the outcome into
// the exit code. Built twice: as the console program Tarrow and, with KIV_WINDOWED set, as the
// windowed TarrowW, which has no console: it neither reads the Ctrl key nor pauses, starts the
// VM without a console window and shows its errors in a message box.
#include <windows.h>

#ifndef KIV_WINDOWED
#define KIV_WINDOWED 0
#endif

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
#include "PackProgress.h"
#include "ServiceInstall.h"
#include "ServiceKIV.h"
#include "Settings.h"
#include "Trace.h"
#include "UniqueHandle.h"
#include "Wow64.h"
#if KIV_WINDOWED
#include "ErrorBox.h"
#endif

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

#if KIV_WINDOWED
// The title of the error box: the application's name once the settings are read.
std::wstring errorBoxTitle;
#endif

DWORD runConsole(const CommandLine& commandLine) {
    KIV launcher(commandLine);
#if KIV_WINDOWED
    errorBoxTitle = applicationTitle(&launcher.settings());
#endif
    launcher.setSilent(silentArgument(launcher.silent()));
    launcher.run(true);
    if (!KIV_WINDOWED &&
        (settings::consolePause(launcher.settings()) || GetKeyState(VK_CONTROL) < 0))
        pauseConsole();
    return launcher.vmExitCode();
}

constexpr int kFailedLaunchCode = 1;

// The error line on standard error; in service mode also in the event log. The windowed
// launcher also shows it in a message box, except in service mode: a service has no desktop.
void reportFailure(const CommandLine& commandLine, const std::wstring& message) {
    trace(L"launch failed: " + message);
    if (commandLine.serviceSwitch()) {
        reportServiceError(commandLine.serviceName(), message, kFailedLaunchCode);
        return;
    }
    [[maybe_unused]] const std::wstring line = console().printError(message);
#if KIV_WINDOWED
    if (windowsReachAPerson())
        showErrorBox(errorBoxTitle.empty() ? applicationTitle(nullptr) : errorBoxTitle, line);
#endif
}

} // namespace

int wmain() {
    disableWow64Redirection();
    if (KIV_WINDOWED)
        console().setWindowless();
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
    } catch (const TerminalError& error) {
        // A launch the user cancelled (in the pack progress window) fails without a message.
        if (!packProgress().cancelRequested())
            reportFailure(commandLine, error.message());
    } catch (const std::exception& error) {
        reportFailure(commandLine, unknownExceptionMessage(error.what()));
    }
    // A launch that failed is never reported as success.
    return kFailedLaunchCode;
}
