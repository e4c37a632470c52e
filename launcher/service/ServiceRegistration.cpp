#include "ServiceRegistration.h"

#include <optional>

#include "CommandLine.h"
#include "Errors.h"
#include "Settings.h"
#include "Text.h"
#include "Tokenizer.h"

namespace tarrow {

namespace {

using settings::Setting;

constexpr size_t kMaxNameChars = 256;
const wchar_t kLocalService[] = L"NT AUTHORITY\\LocalService";
const wchar_t kNetworkService[] = L"NT AUTHORITY\\NetworkService";
// The service control manager counts restart delays in milliseconds, in 32 bits.
constexpr unsigned long long kMaxDelaySeconds = 4294967;
// 0xFFFFFFFF would mean "never reset".
constexpr unsigned long long kMaxResetSeconds = 4294967294;

[[noreturn]] void invalid(const Setting& setting, const std::wstring& accepted) {
    throw TerminalError(L"invalid value \"" + setting.text + L"\" of " + setting.key + L": " +
                        accepted);
}

// A whole number of at most `max`, digits only.
std::optional<unsigned long> wholeNumber(const std::wstring& text, unsigned long long max) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of(L"0123456789") != text.npos)
        return std::nullopt;
    unsigned long long value = 0;
    for (wchar_t c : text)
        value = value * 10 + static_cast<unsigned long long>(c - L'0');
    if (value > max)
        return std::nullopt;
    return static_cast<unsigned long>(value);
}

// A name the service manager accepts and the launcher's command line carries as one argument.
bool usableName(const std::wstring& name) {
    return !name.empty() && name.size() <= kMaxNameChars &&
           name.find_first_of(L" \t\"/\\") == std::wstring::npos;
}

void checkName(const std::wstring& name) {
    if (!usableName(name))
        throw TerminalError(L"the service name \"" + name +
                            L"\" cannot be used: give 1 to 256 characters without spaces, "
                            L"quotes, \"/\" or \"\\\"");
}

void applyStart(const Setting& start, ServiceRegistration& r) {
    const std::wstring word = toLower(start.text);
    if (word == L"manual")
        r.startType = ServiceStartType::Manual;
    else if (word == L"disabled")
        r.startType = ServiceStartType::Disabled;
    else if (word == L"delayed")
        r.delayedStart = true;
    else if (!word.empty() && word != L"auto")
        invalid(start, L"use auto, delayed, manual or disabled");
}

std::wstring accountName(const Setting& account) {
    const std::wstring& text = account.text;
    if (text.empty() || equalsIgnoreCase(text, L"LocalSystem"))
        return std::wstring();
    if (equalsIgnoreCase(text, L"LocalService"))
        return kLocalService;
    if (equalsIgnoreCase(text, L"NetworkService"))
        return kNetworkService;
    // A managed service account: the system keeps its password.
    if (text.size() > 1 && text.back() == L'$' && text.find_first_of(L" \t\"") == text.npos)
        return text;
    invalid(account, L"use LocalSystem, LocalService, NetworkService or a managed service "
                     L"account (a name ending in \"$\"); accounts with a password are not "
                     L"supported");
}

std::wstring dependencyList(const Setting& dependencies) {
    std::wstring list;
    for (const auto& name : tokenize(replaceAll(dependencies.text, L"\t", L" "), L" ")) {
        if (name.size() > kMaxNameChars || name.find_first_of(L"\"/\\") != name.npos)
            invalid(dependencies, L"use service names separated by spaces");
        list += name;
        list += L'\0';
    }
    if (!list.empty())
        list += L'\0';
    return list;
}

std::vector<unsigned long> restartDelays(const Setting& delays) {
    std::vector<unsigned long> seconds;
    if (delays.text.empty())
        return seconds;
    size_t start = 0;
    while (true) {
        const size_t comma = delays.text.find(L',', start);
        const auto value =
            wholeNumber(trim(delays.text.substr(start, comma - start)), kMaxDelaySeconds);
        if (!value)
            invalid(delays, L"use seconds separated by commas, such as 10,60,300");
        seconds.push_back(*value);
        if (comma == std::wstring::npos)
            return seconds;
        start = comma + 1;
    }
}

unsigned long resetSeconds(const Setting& reset) {
    if (reset.text.empty())
        return 86400;
    const auto value = wholeNumber(reset.text, kMaxResetSeconds);
    if (!value)
        invalid(reset, L"use a whole number of seconds");
    return *value;
}

} // namespace

std::wstring quotedArgument(const std::wstring& argument) {
    if (argument.empty() || (contains(argument, L" ") && !startsWith(argument, L"\"")))
        return L"\"" + argument + L"\"";
    return argument;
}

ServiceRegistration serviceRegistration(const std::wstring& name, const PropertySet& settings,
                                        const std::wstring& program,
                                        const std::vector<std::wstring>& arguments) {
    checkName(name);
    ServiceRegistration r;
    r.name = name;
    r.displayName = settings::serviceDisplayName(settings);
    r.description = settings::serviceDescription(settings);
    applyStart(settings::serviceStart(settings), r);
    r.account = accountName(settings::serviceAccount(settings));
    r.dependencies = dependencyList(settings::serviceDependencies(settings));
    r.restartDelays = restartDelays(settings::serviceRestartDelays(settings));
    r.restartResetSeconds = resetSeconds(settings::serviceRestartReset(settings));
    r.commandLine = L"\"" + program + L"\" -mvkivservice " + name;
    for (const auto& argument : arguments)
        r.commandLine += L" " + quotedArgument(argument);
    return r;
}

bool runsAsSystemAccount(const ServiceRegistration& r) {
    return r.account.empty() || r.account == kLocalService || r.account == kNetworkService;
}

bool runsLauncherAsService(const std::wstring& commandLine, const std::wstring& name) {
    // The launcher takes the switch even in the program's place; a program is needed here.
    const std::vector<std::wstring> tokens = tokenize(commandLine, L" ");
    if (tokens.empty() || tokens.front() == L"-mvkivservice")
        return false;
    const CommandLine parsed =
        CommandLine::parse(commandLine, [](const std::wstring&) -> std::optional<std::wstring> {
            return std::nullopt;
        });
    return parsed.serviceSwitch() && parsed.serviceCommand() == ServiceCommand::None &&
           equalsIgnoreCase(parsed.serviceName(), name);
}

std::wstring describeRegistration(const ServiceRegistration& r) {
    std::wstring line = L"service " + r.name + L": start type ";
    line.append(decimal(static_cast<long long>(r.startType)))
        .append(r.delayedStart ? L" delayed" : L"")
        .append(L", account ")
        .append(r.account.empty() ? L"LocalSystem" : r.account)
        .append(L", dependencies \"")
        .append(trim(replaceAll(r.dependencies, std::wstring(1, L'\0'), L" ")))
        .append(L"\", restart delays \"");
    for (size_t i = 0; i < r.restartDelays.size(); ++i)
        line.append(i ? L"," : L"").append(decimal(r.restartDelays[i]));
    return line.append(L"\" s, reset after ")
        .append(decimal(r.restartResetSeconds))
        .append(r.restartDelays.empty() ? L" s" : L" s, failure actions flag set");
}

} // namespace tarrow
