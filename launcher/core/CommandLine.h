// CommandLine: the parsed command line of the launcher. Platform-free: the file-system step
// (arguments naming existing files become full paths) is supplied by the caller.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarrow {

// A command that registers or removes the service named after it instead of launching.
enum class ServiceCommand { None, Install, Uninstall };

class CommandLine {
  public:
    // Given one argument, returns its full path when it names an existing file or directory.
    using ExistingPathResolver = std::function<std::optional<std::wstring>(const std::wstring&)>;

    CommandLine() = default;

    // Builds the record from the whole process command line: program token, space-separated
    // tokens, the "-mvkivservice NAME" and "-i WORD" switches ("-mvkivinstall NAME" and
    // "-mvkivuninstall NAME" only as the first argument), quoted arguments re-joined, and
    // arguments that name existing files replaced by `resolve`'s full path.
    static CommandLine parse(const std::wstring& commandLine, const ExistingPathResolver& resolve);

    // Element 0 is the program as invoked; the rest are passed on to the application.
    const std::vector<std::wstring>& arguments() const { return arguments_; }
    bool serviceSwitch() const { return serviceSwitch_; }
    bool consoleRequested() const { return consoleRequested_; }
    ServiceCommand serviceCommand() const { return serviceCommand_; }
    // The NAME after "-mvkivservice", "-mvkivinstall" or "-mvkivuninstall".
    const std::wstring& serviceName() const { return serviceName_; }

    // The argument after the first "KIV_VM" argument; empty when there is none.
    std::wstring vmArgument() const;

  private:
    std::vector<std::wstring> arguments_;
    bool serviceSwitch_ = false;
    bool consoleRequested_ = false;
    ServiceCommand serviceCommand_ = ServiceCommand::None;
    std::wstring serviceName_;
};

// Splits a whole command line into arguments as the Windows shell's CommandLineToArgvW does:
// the program name ends at its closing quote or at the first blank; after it, 2n backslashes
// before a quote give n backslashes and the quote opens or closes a quoted part, 2n+1 give n
// and a literal quote, other backslashes stand as they are, and a quote doubled inside a
// quoted part is a literal quote that also ends the part. Blanks are spaces and tabs; an empty line
// gives no arguments. Done here so that the launcher need not load the shell's library on every
// start.
std::vector<std::wstring> splitLikeShell(const std::wstring& commandLine);

// The "silent" rule: each argument after the program sets the flag to whether it equals
// "silent" ignoring case, so the last argument decides; with no arguments `current` stands.
bool silentFromArguments(const std::vector<std::wstring>& argv, bool current);

} // namespace tarrow
