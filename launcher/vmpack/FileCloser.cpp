#include "FileCloser.h"

#include <memory>

namespace tarrow {

bool closeWrittenFile(WrittenFile& file) {
    const bool closed = CloseHandle(file.handle.release());
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (file.attributes & kKept)
        SetFileAttributesW(file.path.c_str(), file.attributes);
    return closed;
}

struct FileCloser::Job {
    FileCloser* closer;
    WrittenFile file;
};

FileCloser::FileCloser() : thread_(CreateThread(nullptr, 0, &run, nullptr, 0, nullptr)) {}

DWORD WINAPI FileCloser::run(void*) {
    // The jobs run as asynchronous calls while the thread sleeps alertably; the last one ends it.
    for (;;)
        SleepEx(INFINITE, TRUE);
}

void CALLBACK FileCloser::closeJob(ULONG_PTR job) {
    const std::unique_ptr<Job> owned(reinterpret_cast<Job*>(job));
    if (!closeWrittenFile(owned->file))
        owned->closer->failed_ = true;
}

void CALLBACK FileCloser::endJob(ULONG_PTR) {
    ExitThread(0);
}

void FileCloser::close(WrittenFile file) {
    auto job = std::make_unique<Job>(Job{this, std::move(file)});
    if (thread_ && QueueUserAPC(&closeJob, thread_.get(), reinterpret_cast<ULONG_PTR>(job.get()))) {
        job.release(); // closeJob owns it now
        return;
    }
    if (!closeWrittenFile(job->file))
        failed_ = true;
}

bool FileCloser::finish() {
    // The end comes after every job queued before it, in order.
    if (thread_ && QueueUserAPC(&endJob, thread_.get(), 0))
        WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    return !failed_;
}

} // namespace tarrow
