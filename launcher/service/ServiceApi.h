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
    SERVICE_STATUS_HANDLE registerServiceCtrlHandler(const wchar_t* name,
                                                     LPHANDLER_FUNCTION handler);
    BOOL setServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status);
    // Writes one error entry with `text` to the Application event log under `source` (the
    // service's name); false when it could not be written.
    bool reportError(const std::wstring& source, const std::wstring& text);
    // Releases an event source; with null, only whether the function is there.
    bool deregisterEventSource(HANDLE log);

    bool loaded() const { return module_ != nullptr; }

  private:
    ServiceApi();
    template <typename Function> Function function(FARPROC& cache, bool& looked, const char* name);

    HMODULE module_ = nullptr; // kept loaded for the life of the process
    FARPROC dispatcher_ = nullptr;
    FARPROC registerHandler_ = nullptr;
    FARPROC setStatus_ = nullptr;
    FARPROC registerSource_ = nullptr;
    FARPROC reportEvent_ = nullptr;
    FARPROC deregisterSource_ = nullptr;
    bool dispatcherLooked_ = false;
    bool registerHandlerLooked_ = false;
    bool setStatusLooked_ = false;
    bool registerSourceLooked_ = false;
    bool reportEventLooked_ = false;
    bool deregisterSourceLooked_ = false;
};

} // namespace tarrow
