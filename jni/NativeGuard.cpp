#include "NativeGuard.h"

#include <windows.h>

namespace tarrow {

namespace {

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

HMODULE moduleAt(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
    return module;
}

// Whether the faulting code belongs to this library or to the PDF library it calls: faults in
// the Java VM's own code (which handles many of them itself) are never touched.
bool inGuardedCode(const void* address) {
    const HMODULE module = moduleAt(address);
    return module && (module == moduleAt(reinterpret_cast<const void*>(&inGuardedCode)) ||
                      module == GetModuleHandleW(L"XpdfPrint.dll"));
}

LONG CALLBACK onFault(EXCEPTION_POINTERS* info);

// The thread slot that holds the innermost guard of each thread, and the vectored handler:
// both live exactly as long as the library is loaded (set up when it is loaded, released when
// it is unloaded, so that no handler is left pointing into unmapped code). Windows' own thread
// slots are used because they never allocate, which matters inside a fault handler.
class FaultHandler {
  public:
    FaultHandler() : slot_(TlsAlloc()) {
        if (slot_ != TLS_OUT_OF_INDEXES)
            handler_ = AddVectoredExceptionHandler(1, onFault);
    }
    ~FaultHandler() {
        if (handler_)
            RemoveVectoredExceptionHandler(handler_);
        if (slot_ != TLS_OUT_OF_INDEXES)
            TlsFree(slot_);
    }
    FaultHandler(const FaultHandler&) = delete;
    FaultHandler& operator=(const FaultHandler&) = delete;

    FaultGuard* current() const {
        return slot_ == TLS_OUT_OF_INDEXES ? nullptr : static_cast<FaultGuard*>(TlsGetValue(slot_));
    }
    void setCurrent(FaultGuard* guard) const {
        if (slot_ != TLS_OUT_OF_INDEXES)
            TlsSetValue(slot_, guard);
    }

  private:
    DWORD slot_;
    void* handler_ = nullptr;
};

const FaultHandler faultHandler;

LONG CALLBACK onFault(EXCEPTION_POINTERS* info) {
    // Most faults seen here are the VM's own: leave its last-error value as it was.
    const DWORD lastError = GetLastError();
    FaultGuard* guard = faultHandler.current();
    if (guard && isProcessorFault(info->ExceptionRecord->ExceptionCode) &&
        inGuardedCode(info->ExceptionRecord->ExceptionAddress))
        std::longjmp(guard->recovery(), 1);
    SetLastError(lastError);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

FaultGuard::FaultGuard() : previous_(faultHandler.current()) {
    faultHandler.setCurrent(this);
}

FaultGuard::~FaultGuard() {
    faultHandler.setCurrent(previous_);
}

} // namespace tarrow
