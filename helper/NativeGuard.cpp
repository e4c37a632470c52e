#include "NativeGuard.h"

#include <windows.h>

namespace tarrow {

namespace {

thread_local FaultGuard* t_guard = nullptr;

bool isProcessorFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR:
        return true;
    default:
        return false;
    }
}

// Whether the faulting code belongs to this library or to the PDF library it calls: faults in
// the Java VM's own code (which handles many of them itself) are never touched.
bool inGuardedCode(void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return false;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&inGuardedCode), &self);
    return module == self || module == GetModuleHandleW(L"XpdfPrint.dll");
}

LONG CALLBACK onFault(EXCEPTION_POINTERS* info) {
    FaultGuard* guard = t_guard;
    if (!guard || !isProcessorFault(info->ExceptionRecord->ExceptionCode) ||
        !inGuardedCode(info->ExceptionRecord->ExceptionAddress))
        return EXCEPTION_CONTINUE_SEARCH;
    std::longjmp(guard->recovery(), 1);
}

struct HandlerRegistration {
    HandlerRegistration() { AddVectoredExceptionHandler(1, onFault); }
};

} // namespace

FaultGuard::FaultGuard() : previous_(t_guard) {
    static const HandlerRegistration registration;
    t_guard = this;
}

FaultGuard::~FaultGuard() {
    t_guard = previous_;
}

} // namespace tarrow
