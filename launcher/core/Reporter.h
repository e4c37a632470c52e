// What the launcher prints on standard output (download progress, checksum and extraction
// messages, probe lines): the one place that writes it and honours silent mode.
#pragma once

#include <string>

namespace tarrow {

class Reporter {
  public:
    // A reporter that prints nothing when `silent` is set.
    explicit Reporter(bool silent) : silent_(silent) {}
    // For the lines the launcher shows whatever the silent setting says.
    static Reporter always() { return Reporter(false); }

    // printf-style text, flushed at once so that it interleaves with the VM's own output.
    void say(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // Wide text as it stands, flushed the same way.
    void sayWide(const std::wstring& text) const;

  private:
    bool silent_;
};

} // namespace tarrow
