#include "ProgramPath.h"

#include <windows.h>

#include "Environment.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"

namespace tarrow {

namespace {

// Beyond the longest path Windows takes (32,767 characters), the module name is not a path.
constexpr DWORD kMaxModuleNameChars = 32768;

} // namespace

// Windows cuts a name that does not fit the buffer and returns the buffer's size: the buffer
// grows until the name is shorter.
std::wstring runningProgramPath() {
    for (DWORD size = MAX_PATH; size <= kMaxModuleNameChars; size *= 2) {
        std::wstring buffer(size, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            break;
        if (length < size)
            return buffer.substr(0, length);
    }
    throw TerminalError(L"unable to locate executable");
}

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
    return runningProgramPath();
}

} // namespace tarrow
