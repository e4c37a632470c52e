#include "ArchiveExtraction.h"

#include <windows.h>

#include <memory>

#include "FileCloser.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

constexpr DWORD kMostThreads = 8;

const wchar_t* failureText(int result) {
    switch (result) {
    case kZipFailed:
        return L"cannot be read";
    case kZipCorrupt:
        return L"is damaged";
    default:
        return L"cannot be written";
    }
}

void traceFailure(std::int32_t index, const ArchiveEntries& listed, int result,
                  const std::wstring& base) {
    trace(L"entry " + decimal(index) + L" of " + decimal(listed.count) + L" " +
          failureText(result) + L": the extraction into " + base + L" fails");
}

// What the writing threads share; the queue is the one place that changes between them.
struct Work {
    const std::vector<PlannedEntry>& files;
    EntryQueue queue;
};

// One writing thread: its own reader, and the work it shares with the others.
struct Writer {
    Work* work;
    std::unique_ptr<ZipReader> reader;
};

DWORD WINAPI write(void* writer) {
    Writer& self = *static_cast<Writer*>(writer);
    size_t slot = 0;
    while (self.work->queue.take(slot)) {
        const PlannedEntry& file = self.work->files[slot];
        // An entry is done here, written whole or failed; nothing raised leaves the thread.
        try {
            const ZipResult result = self.reader->writeFile(file.index, file.name);
            if (result != kZipOk)
                self.work->queue.fail(file.index, result);
        } catch (...) {
            self.work->queue.fail(file.index, kZipNotWritten, std::current_exception());
        }
    }
    return 0;
}

// One thread for each processor, at least two, at most kMostThreads, never more than files.
size_t writerCount(size_t files) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    DWORD threads = system.dwNumberOfProcessors;
    threads = threads < 2 ? 2 : threads > kMostThreads ? kMostThreads : threads;
    return threads < files ? threads : files;
}

} // namespace

bool listEntries(ZipReader& reader, const std::wstring& base, ArchiveEntries& listed) {
    ZipEntry count;
    if (reader.item(-1, count) != kZipOk)
        return false;
    listed.count = count.index;
    for (std::int32_t index = 0; index < listed.count; ++index) {
        ZipEntry entry;
        if (reader.item(index, entry) != kZipOk) {
            traceFailure(index, listed, kZipFailed, base);
            return false;
        }
        if (entry.name.empty()) {
            ++listed.skipped;
            trace(L"entry " + decimal(index) + L" skipped: its name leaves nothing inside " + base);
            continue;
        }
        // Some archivers (Java's among them) mark a folder only by the separator ending its name.
        const bool folder =
            (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || entry.name.back() == L'\\';
        listed.entries.push_back(PlannedEntry{index, entry.name, folder, entry.compressedSize});
    }
    keepLastOfEachName(listed.entries);
    return true;
}

bool extractEntries(const std::wstring& path, FileWindow window, const ZipReader& lister,
                    const ArchiveEntries& listed, const std::wstring& base) {
    const std::wstring folder = base.back() == L'\\' ? base : base + L"\\";
    for (const std::wstring& made : foldersToMake(listed.entries))
        CreateDirectoryW((folder + made).c_str(), nullptr);
    const std::vector<PlannedEntry> files = filesLargestFirst(listed.entries);
    Work work{files, EntryQueue(files.size())};
    // The closer outlives the writers: every file they wrote is closed when it has finished.
    FileCloser closer;
    std::vector<Writer> writers(writerCount(files.size()));
    for (Writer& writer : writers) {
        writer.work = &work;
        writer.reader = ZipReader::open(path, window);
        if (!writer.reader) {
            trace(L"the archive for " + base + L" cannot be opened once more");
            return false;
        }
        writer.reader->sharePositions(lister);
        writer.reader->setBaseFolder(folder);
        writer.reader->setCloser(&closer);
    }
    std::vector<UniqueHandle> threads;
    for (Writer& writer : writers) {
        UniqueHandle thread(CreateThread(nullptr, 0, &write, &writer, 0, nullptr));
        if (thread)
            threads.push_back(std::move(thread));
        else
            write(&writer); // without a thread of its own, the caller writes its share
    }
    for (const UniqueHandle& thread : threads)
        WaitForSingleObject(thread.get(), INFINITE);
    const bool closed = closer.finish();
    work.queue.rethrow();
    if (work.queue.failed()) {
        traceFailure(work.queue.failedIndex(), listed, work.queue.failedResult(), base);
        return false;
    }
    if (!closed) {
        trace(L"a file written into " + base + L" could not be closed: the extraction fails");
        return false;
    }
    trace(L"entries into " + base + L": " + decimal(listed.count - listed.skipped) +
          L" extracted, " + decimal(listed.skipped) + L" skipped for their names");
    return true;
}

} // namespace tarrow
