#include "Wow64.h"

#include <windows.h>

#include <vector>

#include "SystemFunction.h"

namespace tarrow {

namespace {

template <typename Function> Function kernelFunction(const char* name) {
    return lookupFunction<Function>(GetModuleHandleW(L"kernel32"), name);
}

// The values returned by Wow64DisableWow64FsRedirection, kept for the life of the process.
std::vector<PVOID>& redirectionValues() {
    static std::vector<PVOID> values;
    return values;
}

} // namespace

bool isWow64Process() {
    // IsWow64Process2 also knows an x86 process on ARM64 Windows; older systems lack it, and
    // where it fails the older function answers.
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 = kernelFunction<IsWow64Process2Fn>("IsWow64Process2");
    USHORT processMachine = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT nativeMachine = IMAGE_FILE_MACHINE_UNKNOWN;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine))
        return processMachine != IMAGE_FILE_MACHINE_UNKNOWN;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = kernelFunction<IsWow64ProcessFn>("IsWow64Process");
    BOOL result = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &result) && result;
}

void disableWow64Redirection() {
    if (!isWow64Process())
        return;
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    using RevertFn = BOOL(WINAPI*)(PVOID);
    using EnableFn = BOOLEAN(WINAPI*)(BOOLEAN);
    const auto disable = kernelFunction<DisableFn>("Wow64DisableWow64FsRedirection");
    const auto revert = kernelFunction<RevertFn>("Wow64RevertWow64FsRedirection");
    if (disable && revert) {
        PVOID oldValue = nullptr;
        disable(&oldValue);
        redirectionValues().push_back(oldValue);
    } else if (const auto enable = kernelFunction<EnableFn>("Wow64EnableWow64FsRedirection")) {
        enable(FALSE);
    }
}

} // namespace tarrow
