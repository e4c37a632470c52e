// Typed accessors of the launcher's settings: each key is spelled once, here, with its default
// and the way its raw text is read. Platform-free.
#pragma once

#include <string>
#include <vector>

#include "PropertySet.h"

namespace tarrow {

// "true", "yes" or "on" in any capitalisation.
bool consoleFlag(const std::wstring& value);

// A setting "kiv.nl.java.option.additional.for.<pattern>": options that only VMs of some
// versions get.
struct VersionOptions {
    std::wstring key;     // the whole key, for the trace
    std::wstring pattern; // the rest of the key after "for."
    std::wstring options;
};

namespace settings {

std::wstring mainClass(const PropertySet& p);
// The class path with the first "$ENV_CLASSPATH$" replaced by `environmentClassPath`.
std::wstring classPath(const PropertySet& p, const std::wstring& environmentClassPath);
std::wstring currentVm(const PropertySet& p);
std::wstring validVmList(const PropertySet& p);
std::wstring userDirectory(const PropertySet& p);
std::wstring applicationName(const PropertySet& p);
// "kiv.application.name" as the file gives it: empty when it is missing.
std::wstring givenApplicationName(const PropertySet& p);
bool consolePause(const PropertySet& p);
bool silentByDefault(const PropertySet& p);
std::wstring verbose(const PropertySet& p);
std::wstring gcExtent(const PropertySet& p);
std::wstring gcBackgroundThread(const PropertySet& p);
std::wstring debugging(const PropertySet& p);
std::wstring compiler(const PropertySet& p);
std::wstring additionalOptions(const PropertySet& p);
// The settings "kiv.nl.java.option.additional.for.<pattern>", in key order.
std::vector<VersionOptions> versionOptions(const PropertySet& p);
std::wstring initialHeapSize(const PropertySet& p);
std::wstring maxHeapSize(const PropertySet& p);
std::wstring microsoftVmMinVersion(const PropertySet& p);
std::wstring launcherPlatform(const PropertySet& p);
// Whether the installed-VM search also looks at vendor registry keys, per-user installs and
// JAVA_HOME: yes unless the setting is "false", "no", "off" (in any capitalisation) or "0".
bool searchMoreVms(const PropertySet& p);
// The class whose main method asks the running application to end, for a service stop; empty
// when none is set (the VM is then ended at once).
std::wstring serviceStopMainClass(const PropertySet& p);
// Its arguments, put after the class as they stand.
std::wstring serviceStopArguments(const PropertySet& p);
// How long a service stop waits for the application's VM to end, in seconds: 30 unless the
// setting is a whole number.
unsigned long serviceStopTimeoutSeconds(const PropertySet& p);
// How long a "Verify" probe may run, in seconds: 5 unless the setting is a whole number from 1
// to 999999.
unsigned long verifyTimeoutSeconds(const PropertySet& p);

// False when the main class is empty, when both the current VM and the valid VM list are
// empty, or when the class path is empty after its substitution.
bool areComplete(const PropertySet& p, const std::wstring& environmentClassPath);

// A setting's key with its trimmed text, for checks whose message names the key.
struct Setting {
    const wchar_t* key;
    std::wstring text;
};

// The settings of a service that the launcher registers, read when it installs the service.
// The display name: the application's name unless set.
std::wstring serviceDisplayName(const PropertySet& p);
std::wstring serviceDescription(const PropertySet& p);
Setting serviceStart(const PropertySet& p);
Setting serviceAccount(const PropertySet& p);
Setting serviceDependencies(const PropertySet& p);
Setting serviceRestartDelays(const PropertySet& p);
Setting serviceRestartReset(const PropertySet& p);
// Whether the install accepts, knowingly, that users may change the files a service under a
// system account trusts: "true", "yes" or "on".
bool serviceAllowsWritableFiles(const PropertySet& p);

} // namespace settings

} // namespace tarrow
