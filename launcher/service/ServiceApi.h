// The service functions and the event log's, taken from the system's advapi32.dll at run time
// so that they do not appear in the program's imports. Each call fails with 0 when the library
// or the function is missing.
#pragma once

#include <windows.h>

#include <string>

namespace tarrow {

class ServiceApi {
  public:
    // The process-wide loader, created on first use.
    static ServiceApi& instance();

    BOOL startServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* table);
    SERVICE_STATUS_HANDLE
    registerServiceCtrlHandlerEx(const wchar_t* name, LPHANDLER_FUNCTION_EX handler, void* context);
    // The service's pre-shutdown timeout in milliseconds; 0 where the system does not offer the
    // pre-shutdown control (before Vista) or the service cannot be queried.
    DWORD preshutdownTimeoutMs(const wchar_t* name);
    BOOL setServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status);
    // Writes one error entry with `text` to the Application event log under `source` (the
    // service's name); false when it could not be written.
    bool reportError(const std::wstring& source, const std::wstring& text);
    // Releases an event source; with null, only whether the function is there.
    bool deregisterEventSource(HANDLE log);
    // Closes a service manager or service handle; with null, only whether the function is there.
    bool closeServiceHandle(SC_HANDLE handle);

    bool loaded() const { return module_ != nullptr; }

  private:
    ServiceApi();
    template <typename Function> Function function(FARPROC& cache, bool& looked, const char* name);

    HMODULE module_ = nullptr; // kept loaded for the life of the process
    FARPROC dispatcher_ = nullptr;
    FARPROC registerHandler_ = nullptr;
    FARPROC openManager_ = nullptr;
    FARPROC openService_ = nullptr;
    FARPROC queryConfig2_ = nullptr;
    FARPROC closeService_ = nullptr;
    FARPROC setStatus_ = nullptr;
    FARPROC registerSource_ = nullptr;
    FARPROC reportEvent_ = nullptr;
    FARPROC deregisterSource_ = nullptr;
    bool dispatcherLooked_ = false;
    bool registerHandlerLooked_ = false;
    bool openManagerLooked_ = false;
    bool openServiceLooked_ = false;
    bool queryConfig2Looked_ = false;
    bool closeServiceLooked_ = false;
    bool setStatusLooked_ = false;
    bool registerSourceLooked_ = false;
    bool reportEventLooked_ = false;
    bool deregisterSourceLooked_ = false;
};

} // namespace tarrow
