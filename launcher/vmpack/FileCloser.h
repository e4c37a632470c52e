// Closing written files on a thread of their own: on Windows the close of a newly written file
// waits while a virus scanner reads it, and the writers need not wait with it.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "UniqueHandle.h"

namespace tarrow {

// A file written whole, to be closed. Read-only, hidden and system are set once more on the
// closed file: not every file system keeps them from the creation (Wine 10 drops read-only).
struct WrittenFile {
    UniqueHandle handle;
    std::wstring path;
    DWORD attributes = 0;
};

// Closes the file and sets its kept attributes again; false when the close failed.
bool closeWrittenFile(WrittenFile& file);

// Closes handed-over files in the order they came, on its own thread. Every file is closed by
// the time finish() returns; the destructor finishes too.
class FileCloser {
  public:
    FileCloser();
    ~FileCloser() { finish(); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

    // Closes the file on the closer's thread; on the caller's when that thread cannot be had.
    void close(WrittenFile file);
    // Waits until every handed-over file is closed; false when a close failed.
    bool finish();

  private:
    struct Job;
    static void CALLBACK closeJob(ULONG_PTR job);
    static void CALLBACK endJob(ULONG_PTR);
    static DWORD WINAPI run(void*);

    std::atomic<bool> failed_{false}; // set by whichever thread closes a file
    UniqueHandle thread_;
};

} // namespace tarrow
