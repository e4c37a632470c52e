#include "CommandLine.h"

#include "Text.h"
#include "Tokenizer.h"

namespace tarrow {

namespace {

const std::wstring kServiceSwitch = L"-mvkivservice";
const std::wstring kConsoleSwitch = L"-i";
const std::wstring kConsoleWord = L"console";
const std::wstring kVmSwitch = L"KIV_VM";
const std::wstring kInstallSwitch = L"-mvkivinstall";
const std::wstring kUninstallSwitch = L"-mvkivuninstall";

// The service command that `token` names, when it is the first argument.
ServiceCommand serviceCommandOf(const std::wstring& token) {
    if (token == kInstallSwitch)
        return ServiceCommand::Install;
    return token == kUninstallSwitch ? ServiceCommand::Uninstall : ServiceCommand::None;
}

bool closesQuote(const std::wstring& token) {
    return token.size() >= 2 && token.back() == L'"';
}

// Joins tokens that belong to one quoted argument and strips the quotes. A quoted token with
// an asterisk is kept exactly as it stands.
std::vector<std::wstring> rejoinQuoted(const std::vector<std::wstring>& tokens) {
    std::vector<std::wstring> result;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::wstring& token = tokens[i];
        if (!startsWith(token, L"\"") || contains(token, L"*")) {
            result.push_back(token);
            continue;
        }
        std::wstring joined = token;
        if (!closesQuote(token)) {
            while (i + 1 < tokens.size()) {
                joined.append(L" ").append(tokens[++i]);
                if (endsWith(tokens[i], L"\""))
                    break;
            }
        }
        joined.erase(0, 1);
        if (endsWith(joined, L"\""))
            joined.pop_back();
        result.push_back(joined);
    }
    return result;
}

} // namespace

CommandLine CommandLine::parse(const std::wstring& commandLine,
                               const ExistingPathResolver& resolve) {
    CommandLine record;
    std::vector<std::wstring> raw;
    std::wstring rest = commandLine;
    if (startsWith(commandLine, L"\"")) {
        const size_t closing = commandLine.find(L'"', 1);
        if (closing != std::wstring::npos) {
            raw.push_back(commandLine.substr(0, closing + 1));
            rest = commandLine.substr(closing + 1);
        }
    }
    const std::vector<std::wstring> tokens = tokenize(rest, L" ");
    const size_t first = raw.empty() ? 1 : 0; // the first token after the program
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (i == first && serviceCommandOf(tokens[i]) != ServiceCommand::None) {
            // The name may be missing: the command then says so.
            record.serviceCommand_ = serviceCommandOf(tokens[i]);
            if (i + 1 < tokens.size())
                record.serviceName_ = tokens[++i];
        } else if (tokens[i] == kServiceSwitch) {
            if (i + 1 >= tokens.size())
                break;
            record.serviceName_ = tokens[++i];
            record.serviceSwitch_ = true;
        } else if (tokens[i] == kConsoleSwitch) {
            raw.push_back(tokens[i]);
            if (i + 1 >= tokens.size())
                break;
            if (tokens[i + 1] == kConsoleWord)
                record.consoleRequested_ = true;
            raw.push_back(tokens[++i]);
        } else {
            raw.push_back(tokens[i]);
        }
    }
    record.arguments_ = rejoinQuoted(raw);
    for (auto& argument : record.arguments_) {
        if (auto full = resolve(argument))
            argument = *full;
    }
    return record;
}

std::wstring CommandLine::vmArgument() const {
    for (size_t i = 1; i + 1 < arguments_.size(); ++i) {
        if (arguments_[i] == kVmSwitch)
            return arguments_[i + 1];
    }
    return std::wstring();
}

namespace {

bool blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Splits the arguments after the program name, one character at a time.
class ShellSplitter {
  public:
    explicit ShellSplitter(std::vector<std::wstring>& out) : out_(out) {}

    void take(wchar_t c) {
        if (c != L'"' && afterQuote_) {
            // A run of quotes has ended: two in a row closed the quoted part.
            afterQuote_ = false;
            if (quotes_ == 2)
                quotes_ = 0;
        }
        if (blank(c) && quotes_ == 0) {
            if (started_)
                out_.push_back(current_);
            current_.clear();
            started_ = false;
            slashes_ = 0;
            return;
        }
        started_ = true;
        if (c == L'"') {
            quote();
            return;
        }
        current_ += c;
        slashes_ = c == L'\\' ? slashes_ + 1 : 0;
    }

    void finish() {
        if (started_) // the quoted part of an unclosed quote runs to the end
            out_.push_back(current_);
    }

  private:
    // 2n backslashes before a quote become n and the quote counts; 2n+1 become n and a literal
    // quote. A third quote in a row is a literal quote, and two in a row end the quoted part.
    void quote() {
        if (afterQuote_) {
            if (++quotes_ == 3) {
                current_ += L'"';
                quotes_ = 0;
            }
            return;
        }
        current_.erase(current_.size() - slashes_ / 2 - slashes_ % 2);
        if (slashes_ % 2 == 0)
            ++quotes_;
        else
            current_ += L'"';
        slashes_ = 0;
        afterQuote_ = true;
    }

    std::vector<std::wstring>& out_;
    std::wstring current_;
    bool started_ = false;    // an argument has begun, even an empty quoted one
    bool afterQuote_ = false; // the last character was a quote
    int quotes_ = 0;          // quotes counted in the current run: odd inside a quoted part
    size_t slashes_ = 0;      // backslashes just before this character
};

} // namespace

std::vector<std::wstring> splitLikeShell(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    if (commandLine.empty())
        return arguments;
    // The program name has no escapes: it ends at its closing quote or at the first blank.
    size_t i = 0;
    if (commandLine[0] == L'"') {
        const size_t close = commandLine.find(L'"', 1);
        arguments.push_back(commandLine.substr(1, close - 1));
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !blank(commandLine[i]))
            ++i;
        arguments.push_back(commandLine.substr(0, i));
    }
    while (i < commandLine.size() && blank(commandLine[i]))
        ++i;
    ShellSplitter splitter(arguments);
    for (; i < commandLine.size(); ++i)
        splitter.take(commandLine[i]);
    splitter.finish();
    return arguments;
}

bool silentFromArguments(const std::vector<std::wstring>& argv, bool current) {
    for (size_t i = 1; i < argv.size(); ++i)
        current = equalsIgnoreCase(argv[i], L"silent");
    return current;
}

} // namespace tarrow
