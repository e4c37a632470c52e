// The launcher's console: standard handles, the window title and the error line.
#pragma once

#include <windows.h>

#include <string>

namespace tarrow {

class Console {
  public:
    // The standard handles, fetched at each call.
    HANDLE input() const;
    HANDLE output() const;
    HANDLE error() const;

    void setTitle(const std::wstring& title);

    // Writes "<Pellinor Error>: <message>" and a line end to standard error: through the
    // console when standard error is one, otherwise as UTF-8 bytes, so the line is never lost.
    // Returns the line.
    std::wstring printError(const std::wstring& message);
};

// The process-wide console object.
Console& console();

} // namespace tarrow
