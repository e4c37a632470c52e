#include <gtest/gtest.h>

#include "CommandLine.h"
#include "Errors.h"
#include "ServiceRegistration.h"

using namespace tarrow;

namespace {

const wchar_t kProgram[] = L"C:\\Program Files\\App\\Tarrow.exe";

ServiceRegistration registrationWith(const wchar_t* key, const wchar_t* value) {
    PropertySet p;
    p.set(key, value);
    return serviceRegistration(L"App", p, kProgram, {});
}

// The error line of an install with `key` set to `value`; empty when it is accepted.
std::wstring refusal(const wchar_t* key, const wchar_t* value) {
    try {
        registrationWith(key, value);
    } catch (const TerminalError& error) {
        return error.message();
    }
    return std::wstring();
}

} // namespace

TEST(ServiceRegistration, DefaultsWithoutSettings) {
    const ServiceRegistration r = serviceRegistration(L"App", PropertySet(), kProgram, {});
    EXPECT_EQ(r.commandLine, L"\"C:\\Program Files\\App\\Tarrow.exe\" -mvkivservice App");
    EXPECT_EQ(r.displayName, L"Pellinor");
    EXPECT_EQ(r.description, L"");
    EXPECT_EQ(r.startType, ServiceStartType::Automatic);
    EXPECT_FALSE(r.delayedStart);
    EXPECT_EQ(r.account, L"");
    EXPECT_EQ(r.dependencies, L"");
    EXPECT_TRUE(r.restartDelays.empty());
    EXPECT_EQ(r.restartResetSeconds, 86400u);
}

TEST(ServiceRegistration, DisplayNameFallsBackToTheApplicationName) {
    PropertySet p;
    p.set(L"kiv.application.name", L"Hello Example");
    EXPECT_EQ(serviceRegistration(L"App", p, kProgram, {}).displayName, L"Hello Example");
    p.set(L"kiv.nl.service.display.name", L" Hello Service ");
    p.set(L"kiv.nl.service.description", L"Says hello.");
    const ServiceRegistration r = serviceRegistration(L"App", p, kProgram, {});
    EXPECT_EQ(r.displayName, L"Hello Service");
    EXPECT_EQ(r.description, L"Says hello.");
}

TEST(ServiceRegistration, StartTypes) {
    const struct {
        const wchar_t* value;
        ServiceStartType type;
        bool delayed;
    } cases[] = {{L"auto", ServiceStartType::Automatic, false},
                 {L"Delayed", ServiceStartType::Automatic, true},
                 {L"manual", ServiceStartType::Manual, false},
                 {L" DISABLED ", ServiceStartType::Disabled, false},
                 {L"", ServiceStartType::Automatic, false}};
    for (const auto& c : cases) {
        const ServiceRegistration r = registrationWith(L"kiv.nl.service.start", c.value);
        EXPECT_EQ(r.startType, c.type) << c.value;
        EXPECT_EQ(r.delayedStart, c.delayed) << c.value;
    }
}

TEST(ServiceRegistration, Accounts) {
    // Only the system accounts get the check of who may change the service's files.
    const struct {
        const wchar_t* value;
        const wchar_t* account;
        bool system;
    } cases[] = {{L"LocalSystem", L"", true},
                 {L"", L"", true},
                 {L"localservice", L"NT AUTHORITY\\LocalService", true},
                 {L"NetworkService", L"NT AUTHORITY\\NetworkService", true},
                 {L"CORP\\svc-app$", L"CORP\\svc-app$", false},
                 {L"CORP\\LocalService$", L"CORP\\LocalService$", false}};
    for (const auto& c : cases) {
        const ServiceRegistration r = registrationWith(L"kiv.nl.service.account", c.value);
        EXPECT_EQ(r.account, c.account);
        EXPECT_EQ(runsAsSystemAccount(r), c.system) << c.value;
    }
}

TEST(ServiceRegistration, DependenciesBecomeAMultiString) {
    const ServiceRegistration r =
        registrationWith(L"kiv.nl.service.dependencies", L"Tcpip \t  EventLog +NetGroup");
    EXPECT_EQ(r.dependencies, std::wstring(L"Tcpip\0EventLog\0+NetGroup\0\0", 26));
}

TEST(ServiceRegistration, RestartDelaysAndReset) {
    const struct {
        const wchar_t* delays;
        std::vector<unsigned long> seconds;
    } cases[] = {{L"10,60,300", {10, 60, 300}}, {L" 5 , 0 ", {5, 0}}, {L"4294967", {4294967}}};
    for (const auto& c : cases)
        EXPECT_EQ(registrationWith(L"kiv.nl.service.restart.delays", c.delays).restartDelays,
                  c.seconds);
    EXPECT_EQ(registrationWith(L"kiv.nl.service.restart.reset", L"0").restartResetSeconds, 0u);
    EXPECT_EQ(registrationWith(L"kiv.nl.service.restart.reset", L"4294967294").restartResetSeconds,
              4294967294u);
}

TEST(ServiceRegistration, InvalidValuesAreRefusedNamingTheSetting) {
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {L"kiv.nl.service.start", L"automatic"},
        {L"kiv.nl.service.start", L"on demand"},
        {L"kiv.nl.service.account", L"Administrator"},
        {L"kiv.nl.service.account", L"$"},
        {L"kiv.nl.service.account", L"my account$"},
        {L"kiv.nl.service.dependencies", L"Tcpip bad\\name"},
        {L"kiv.nl.service.restart.delays", L"10,,60"},
        {L"kiv.nl.service.restart.delays", L"10,60,"},
        {L"kiv.nl.service.restart.delays", L"-5"},
        {L"kiv.nl.service.restart.delays", L"1.5"},
        {L"kiv.nl.service.restart.delays", L"4294968"},
        {L"kiv.nl.service.restart.delays", L"99999999999999999999"},
        {L"kiv.nl.service.restart.reset", L"1d"},
        {L"kiv.nl.service.restart.reset", L"4294967295"},
    };
    for (const auto& c : cases) {
        const std::wstring line = refusal(c.key, c.value);
        EXPECT_EQ(line.find(L"invalid value \"" + std::wstring(c.value) + L"\" of " + c.key), 0u)
            << line;
    }
}

TEST(ServiceRegistration, NamesTheServiceCommandLineCannotCarryAreRefused) {
    const wchar_t* names[] = {L"", L"My App", L"a\"b", L"a/b", L"a\\b"};
    for (const wchar_t* name : names)
        EXPECT_THROW(serviceRegistration(name, PropertySet(), kProgram, {}), TerminalError) << name;
    EXPECT_THROW(serviceRegistration(std::wstring(257, L'a'), PropertySet(), kProgram, {}),
                 TerminalError);
    EXPECT_NO_THROW(serviceRegistration(std::wstring(256, L'a'), PropertySet(), kProgram, {}));
}

// The service parses its command line with the launcher's own rules: the arguments it reads
// back are the ones the install was given.
TEST(ServiceRegistration, TheServiceReadsBackTheArgumentsItWasInstalledWith) {
    const std::vector<std::wstring> arguments = {
        L"plain", L"two words", L"", L"-i", L"console", L"C:\\Data Files\\x.cfg", L"\"*.txt\""};
    const ServiceRegistration r = serviceRegistration(L"App", PropertySet(), kProgram, arguments);
    const CommandLine read = CommandLine::parse(
        r.commandLine, [](const std::wstring&) { return std::optional<std::wstring>(); });
    EXPECT_TRUE(read.serviceSwitch());
    EXPECT_EQ(read.serviceName(), L"App");
    std::vector<std::wstring> expected = {kProgram};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(read.arguments(), expected);
}

TEST(ServiceRegistration, TheTraceLineSaysWhatWasAskedFor) {
    PropertySet p;
    p.set(L"kiv.nl.service.start", L"delayed");
    p.set(L"kiv.nl.service.account", L"NetworkService");
    p.set(L"kiv.nl.service.dependencies", L"Tcpip EventLog");
    p.set(L"kiv.nl.service.restart.delays", L"10,60");
    p.set(L"kiv.nl.service.restart.reset", L"3600");
    EXPECT_EQ(describeRegistration(serviceRegistration(L"App", p, kProgram, {})),
              L"service App: start type 2 delayed, account NT AUTHORITY\\NetworkService, "
              L"dependencies \"Tcpip EventLog\", restart delays \"10,60\" s, reset after 3600 s, "
              L"failure actions flag set");
    EXPECT_EQ(describeRegistration(serviceRegistration(L"App", PropertySet(), kProgram, {})),
              L"service App: start type 2, account LocalSystem, dependencies \"\", restart "
              L"delays \"\" s, reset after 86400 s");
}

TEST(ServiceRegistration, RemovesOnlyServicesThatRunALauncherUnderTheirName) {
    const struct {
        const wchar_t* commandLine;
        const wchar_t* name;
        bool launcher;
    } cases[] = {
        {L"\"C:\\Program Files\\App\\Tarrow.exe\" -mvkivservice App", L"App", true},
        {L"\"C:\\Program Files\\App\\Tarrow.exe\" -mvkivservice App \"two words\" -x", L"App",
         true},
        {L"C:\\Apps\\Tarrow.exe  -mvkivservice app", L"APP", true},
        {L"\"C:\\A\\Tarrow.exe\" -i console -mvkivservice App", L"App", true},
        {L"C:\\Windows\\System32\\spoolsv.exe", L"Spooler", false},
        {L"C:\\Windows\\system32\\svchost.exe -k netsvcs -p", L"Spooler", false},
        {L"", L"App", false},
        // The name is a token of its own, the switch exact.
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice App2", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice AppX", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -MVKIVSERVICE App", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservices App", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -Dx=-mvkivservice App", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" \"-mvkivservice App\"", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice\tApp", L"App", false},
        // Another service's line, and the name only as an argument.
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice Other", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" App -mvkivservice", L"App", false},
        // The last switch decides, as when the launcher starts.
        {L"\"C:\\A\\Tarrow.exe\" -mvkivservice App -mvkivservice Other", L"App", false},
        // A switch in the program's place, and a command line that removes.
        {L"-mvkivservice App", L"App", false},
        {L"-mvkivservice App more", L"App", false},
        {L"\"C:\\A\\Tarrow.exe\" -mvkivuninstall App -mvkivservice App", L"App", false},
        // "-i" takes the token after it.
        {L"\"C:\\A\\Tarrow.exe\" -i -mvkivservice App", L"App", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runsLauncherAsService(c.commandLine, c.name), c.launcher) << c.commandLine;
}
