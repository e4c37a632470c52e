#include "ProgramPath.h"

#include <windows.h>

#include "Environment.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"

namespace tarrow {

namespace {

std::wstring loadedModulePath() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(buffer, length);
}

} // namespace

std::wstring programPath(const CommandLine& commandLine) {
    const auto& arguments = commandLine.arguments();
    std::wstring name = normalise(arguments.empty() ? std::wstring() : arguments[0]);
    if (!name.empty()) {
        if (!hasExtension(name))
            name += L".exe";
        if (exists(name))
            return name;
        for (const auto& entry : searchPath()) {
            const std::wstring candidate = normalise(entry + L"\\" + name);
            if (exists(candidate))
                return candidate;
        }
    }
    const std::wstring loaded = loadedModulePath();
    if (!loaded.empty() && exists(loaded))
        return loaded;
    throw TerminalError(L"unable to locate executable");
}

} // namespace tarrow
