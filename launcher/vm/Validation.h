// Confirming VM candidates by running them: the application's validator class, and the
// "Verify" probe that reports system properties.
#pragma once

#include <map>
#include <string>

namespace tarrow {

class JVM;

// Runs "com.mirov.util.jvm.Validator 1 <word>" in the VM with the application's class path
// and the options for its version, and waits for it; true when it exits with 0. A VM that
// cannot be started fails.
bool runValidator(JVM& vm, const std::wstring& word);

// Runs "Verify" from Verify.jar (in `baseFolder`, or in its "jvmspecs" folder) with the
// property names after `vmOptions` (the options for the VM's version), at most `timeoutMs`
// milliseconds; true when every reported value matches its pattern. A probe still running after
// that time fails and is ended (the trace says so).
bool verifyProperties(const std::wstring& program,
                      const std::map<std::wstring, std::wstring>& properties,
                      const std::wstring& baseFolder, unsigned long timeoutMs,
                      const std::wstring& vmOptions = {});

} // namespace tarrow
