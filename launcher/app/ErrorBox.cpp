#include "ErrorBox.h"

#include <windows.h>

#include "Errors.h"
#include "PathString.h"
#include "ProgramPath.h"
#include "Settings.h"

namespace tarrow {

std::wstring applicationTitle(const PropertySet* settings) {
    if (const std::wstring name = settings ? settings::givenApplicationName(*settings) : L"";
        !name.empty())
        return name;
    try {
        return baseName(runningProgramPath());
    } catch (const TerminalError&) {
        return L"TarrowW";
    }
}

bool windowsReachAPerson() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    return !GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                      &needed) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void showErrorBox(const std::wstring& title, std::wstring line) {
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    MessageBoxW(nullptr, line.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace tarrow
