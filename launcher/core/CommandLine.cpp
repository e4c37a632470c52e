#include "CommandLine.h"

#include "Text.h"
#include "Tokenizer.h"

namespace tarrow {

namespace {

const std::wstring kServiceSwitch = L"-mvkivservice";
const std::wstring kConsoleSwitch = L"-i";
const std::wstring kConsoleWord = L"console";
const std::wstring kVmSwitch = L"KIV_VM";

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
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == kServiceSwitch) {
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

bool silentFromArguments(const std::vector<std::wstring>& argv, bool current) {
    for (size_t i = 1; i < argv.size(); ++i)
        current = equalsIgnoreCase(argv[i], L"silent");
    return current;
}

} // namespace tarrow
