#include "JVM.h"

#include <windows.h>

#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "StringTable.h"
#include "VersionResource.h"
#include "VmCommandLine.h"
#include "VmProcess.h"

namespace tarrow {

bool isSystemFolder(const std::wstring& home) {
    const std::wstring last = fileName(home, true);
    return last == L"system32" || last == L"syswow64";
}

UniqueHandle JVM::launch(const JavaOptions& options, bool wait) {
    const std::wstring line = commandLine(options);
    prepareEnvironment(options);
    return startProcess(options.workingDirectory, line, wait);
}

std::wstring J2VM::executablePath() const {
    const std::wstring candidate =
        isSystemFolder(home) ? home + L"\\java.exe" : home + L"\\bin\\java.exe";
    return exists(candidate) ? candidate : home + L"\\java.exe";
}

std::wstring J2VM::commandLine(JavaOptions options) const {
    return j2vmCommandLine(executablePath(), version, options);
}

std::wstring J1VM::executablePath() const {
    const std::wstring jre = home + L"\\bin\\jre.exe";
    return exists(jre) ? jre : home + L"\\bin\\java.exe";
}

std::wstring J1VM::commandLine(JavaOptions options) const {
    options.classPath.append(home + L"\\lib\\classes.zip");
    return j1vmCommandLine(executablePath(), options);
}

MSJVM::MSJVM() {
    vendor = L"Microsoft";
    version = JVMVersion(1, 4, 0);
    kind = VMKind::MSJ;
}

void MSJVM::prepareEnvironment(const JavaOptions& options) const {
    SetEnvironmentVariableW(L"CLASSPATH", options.classPath.toString().c_str());
}

std::wstring MSJVM::executablePath() const {
    return home + L"\\jview.exe";
}

std::wstring MSJVM::commandLine(JavaOptions options) const {
    const auto fileVersion = readFileVersion(home + L"\\jview.exe");
    const int build = fileVersion ? (*fileVersion)[2] : 0;
    if (build < options.msvmMinBuild)
        throw TerminalError(getString(kNoValidVm));
    return msjvmCommandLine(executablePath(), options);
}

} // namespace tarrow
