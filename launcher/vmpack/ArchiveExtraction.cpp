#include "ArchiveExtraction.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>

#include "EarlyExtraction.h"
#include "EntryQueue.h"
#include "FileCloser.h"
#include "PackProgress.h"
#include "PathString.h"
#include "Text.h"
#include "Trace.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

constexpr DWORD kMostThreads = 8;
// How often the waiting caller shows the progress and looks for a cancel.
constexpr DWORD kProgressMs = 100;

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
    const ArchiveEntries& listed;
    EntryQueue queue;
};

// One writing thread: its own reader, and the work it shares with the others.
struct Writer {
    Work* work = nullptr;
    std::unique_ptr<ZipReader> reader;
};

DWORD WINAPI write(void* writer) {
    Writer& self = *static_cast<Writer*>(writer);
    const ArchiveEntries& listed = self.work->listed;
    size_t slot = 0;
    while (self.work->queue.take(slot)) {
        const std::int32_t index = listed.files[slot];
        if (index < 0)
            continue; // a later entry writes this path
        // An entry is done here, written whole or failed; nothing raised leaves the thread.
        try {
            const ZipResult result = self.reader->writeFile(index);
            if (result != kZipOk)
                self.work->queue.fail(index, result);
            else
                self.work->queue.done();
        } catch (...) {
            self.work->queue.fail(index, EntryQueue::kRaised);
        }
    }
    return 0;
}

// One thread for each processor, at least two, at most kMostThreads, never more than files.
size_t writerCount(size_t files) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t threads = system.dwNumberOfProcessors;
    threads = threads < 2 ? 2 : threads > kMostThreads ? kMostThreads : threads;
    return threads < files ? threads : files;
}

} // namespace

// Orders the positions of `keys` by their keys, equal keys in position order: a merge of runs of
// doubling width, n log n comparisons whatever the archive holds. `order` comes with as many
// places as there are keys.
std::vector<std::int32_t> orderByKey(const std::vector<std::wstring>& keys,
                                     std::vector<std::int32_t> order) {
    const size_t count = keys.size();
    for (size_t at = 0; at < count; ++at)
        order[at] = static_cast<std::int32_t>(at);
    std::vector<std::int32_t> merged = order;
    for (size_t width = 1; width < count; width *= 2) {
        for (size_t left = 0; left < count; left += 2 * width) {
            const size_t middle = std::min(left + width, count);
            const size_t right = std::min(left + 2 * width, count);
            for (size_t from = left, next = middle, to = left; to < right; ++to) {
                const bool fromLeft =
                    next >= right || (from < middle && keys[order[next]] >= keys[order[from]]);
                merged[to] = order[fromLeft ? from++ : next++];
            }
        }
        order.swap(merged);
    }
    return order;
}

// Leaves one entry for each file path, the archive's last, as when the entries were written one
// after another: two threads never write one file. `keys` are the paths as the file system
// compares them, beside `files` in archive order; the entries left out become -1.
void keepLastOfEachPath(std::vector<std::int32_t>& files, const std::vector<std::wstring>& keys) {
    const std::vector<std::int32_t> order = orderByKey(keys, files);
    for (size_t at = 0; at + 1 < order.size(); ++at)
        if (keys[order[at]] == keys[order[at + 1]])
            files[order[at]] = -1;
}

bool listEntries(ZipReader& reader, const std::wstring& base, ArchiveEntries& listed,
                 const EarlyEntries* early) {
    ZipEntry count;
    if (reader.item(-1, count) != kZipOk)
        return false;
    listed.count = count.index;
    reader.setBaseFolder(base);
    std::wstring made = L"\\"; // no folder made yet
    std::vector<std::wstring> keys;
    std::vector<unsigned long> sizes; // compressed, beside `keys`
    std::vector<size_t> written;      // the places in `files` of entries written as it arrived
    // The entries written early that the directory has, in their order, each once: a directory
    // that lists them in another order, or one twice, has them written again.
    std::ptrdiff_t lastMatch = -1;
    size_t matches = 0;
    bool twice = false;
    for (std::int32_t index = 0; index < listed.count; ++index) {
        ZipEntry entry;
        if (reader.item(index, entry) != kZipOk) {
            traceFailure(index, listed, kZipFailed, base);
            return false;
        }
        if (entry.name.empty() || namesDevice(base + L"\\" + entry.name)) {
            ++listed.skipped;
            trace(L"entry " + decimal(index) + L" skipped: its name leaves nothing inside " + base);
            continue;
        }
        // Some archivers (Java's among them) mark a folder only by the separator ending its name.
        const bool folder =
            (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || entry.name.back() == L'\\';
        const std::ptrdiff_t match = early ? early->written(entry, folder) : -1;
        const bool wasWritten = match >= 0;
        if (wasWritten) {
            twice = twice || match <= lastMatch;
            lastMatch = match;
            ++matches;
        }
        // Entries of one folder mostly follow one another: the folder is made for the first.
        const std::wstring needed = folder ? entry.name : parent(entry.name, L"");
        if (!wasWritten && needed != made)
            reader.makeFolders(made = needed);
        if (folder)
            continue;
        if (wasWritten)
            written.push_back(listed.files.size());
        listed.files.push_back(index);
        keys.push_back(toLower(entry.name));
        sizes.push_back(entry.compressedSize);
    }
    keepLastOfEachPath(listed.files, keys);
    if (early) {
        // Every entry written early must be the directory's, once, and the last of its path.
        twice =
            twice || std::find(listed.files.begin(), listed.files.end(), -1) != listed.files.end();
        if (matches != early->entries.size() || (matches && twice)) {
            listed.earlyRejected = true;
            return false;
        }
        for (const size_t at : written)
            listed.files[at] = -1;
    }
    // The largest file goes first, so that the longest entry starts at once and the others are
    // written beside it.
    size_t largest = 0;
    for (size_t at = 1; at < sizes.size(); ++at)
        if (listed.files[at] >= 0 && (listed.files[largest] < 0 || sizes[at] > sizes[largest]))
            largest = at;
    if (largest)
        std::swap(listed.files.front(), listed.files[largest]);
    return true;
}

bool extractEntries(const std::wstring& path, FileWindow window, const ZipReader& lister,
                    const ArchiveEntries& listed, const std::wstring& base) {
    Work work{listed, EntryQueue(listed.files.size())};
    // The closer outlives the writers: every file they wrote is closed when it has finished.
    FileCloser closer;
    Writer writers[kMostThreads];
    UniqueHandle threads[kMostThreads];
    const size_t count = writerCount(listed.files.size());
    for (size_t at = 0; at < count; ++at) {
        Writer& writer = writers[at];
        writer.work = &work;
        writer.reader = ZipReader::open(path, window);
        if (!writer.reader)
            return false;
        writer.reader->sharePositions(lister);
        writer.reader->setBaseFolder(base);
        writer.reader->setCloser(&closer);
    }
    for (size_t at = 0; at < count; ++at) {
        threads[at] = UniqueHandle(CreateThread(nullptr, 0, &write, &writers[at], 0, nullptr));
        if (!threads[at])
            write(&writers[at]); // without a thread of its own, the caller writes its share
    }
    // The caller alone shows the progress; a cancel stops the writers at their next piece.
    packProgress().begin(PackPhase::Extraction,
                         std::count_if(listed.files.begin(), listed.files.end(),
                                       [](std::int32_t index) { return index >= 0; }));
    for (const UniqueHandle& thread : threads)
        while (thread && WaitForSingleObject(thread.get(), kProgressMs) == WAIT_TIMEOUT)
            if (!packProgress().advance(work.queue.doneCount()))
                work.queue.fail(-1, kZipNotWritten);
    // A file that could not be closed may not have been written whole (entry -1: not known).
    if (!closer.finish())
        work.queue.fail(-1, kZipNotWritten);
    if (work.queue.raised())
        throw std::bad_alloc(); // the only exception writing an entry raises
    if (packProgress().cancelRequested()) {
        trace(L"the extraction into " + base + L" was cancelled");
        return false;
    }
    if (work.queue.failed()) {
        traceFailure(work.queue.failedIndex(), listed, work.queue.failedResult(), base);
        return false;
    }
    trace(L"entries into " + base + L": " + decimal(listed.count - listed.skipped) +
          L" extracted, " + decimal(listed.skipped) + L" skipped for their names");
    return true;
}

} // namespace tarrow
