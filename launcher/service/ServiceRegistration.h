// What the launcher asks the service control manager for when it registers a service: built
// from the install command's name and arguments and from the ".kiv" settings, and checked
// whole before anything is registered. Platform-free.
#pragma once

#include <string>
#include <vector>

#include "PropertySet.h"

namespace tarrow {

// Start types as the service control manager numbers them.
enum class ServiceStartType : unsigned long { Automatic = 2, Manual = 3, Disabled = 4 };

struct ServiceRegistration {
    std::wstring name;
    std::wstring displayName;
    std::wstring description;
    // The launcher's full path quoted, "-mvkivservice NAME", then the arguments.
    std::wstring commandLine;
    ServiceStartType startType = ServiceStartType::Automatic;
    bool delayedStart = false;
    // The account the service runs under; empty for LocalSystem.
    std::wstring account;
    // The services it needs, each name ended by a NUL, with one more NUL at the end; empty
    // when none.
    std::wstring dependencies;
    // Seconds before each restart after a failure; the last one repeats. Empty: no restart.
    std::vector<unsigned long> restartDelays;
    // Seconds without failure after which the count of failures starts again.
    unsigned long restartResetSeconds = 86400;
};

// The registration of service `name` for the launcher at `program` with the application's
// `arguments`. Raises TerminalError, naming the setting and what it accepts, for an invalid
// value, and for a name that the service's own command line cannot carry.
ServiceRegistration serviceRegistration(const std::wstring& name, const PropertySet& settings,
                                        const std::wstring& program,
                                        const std::vector<std::wstring>& arguments);

// Whether the service runs as LocalSystem, LocalService or NetworkService: accounts with
// rights on the machine that no user holds.
bool runsAsSystemAccount(const ServiceRegistration& registration);

// Whether the service program line `commandLine` (as the service control manager keeps it)
// runs a launcher as the service `name`: after the program, the token "-mvkivservice" exactly,
// then `name` as the next token, compared ignoring case as the manager compares service names;
// read as the launcher itself reads its command line when the manager starts it. The launcher
// removes only such services.
bool runsLauncherAsService(const std::wstring& commandLine, const std::wstring& name);

// `argument` as the launcher's command line reads it back: in quotes when it is empty or holds
// a space, else as it stands.
std::wstring quotedArgument(const std::wstring& argument);

// What the registration asks for beyond its command line, in one line for the trace: start
// type, account, dependencies and restarts.
std::wstring describeRegistration(const ServiceRegistration& registration);

} // namespace tarrow
