#include "EarlyExtraction.h"

#include <zlib.h>

#include <algorithm>

#include "PackProgress.h"
#include "PathString.h"
#include "Text.h"
#include "Trace.h"
#include "VmPackExtraction.h"
#include "ZipEntryName.h"
#include "ZipReader.h"

namespace tarrow {

namespace {

constexpr DWORD kPieceBytes = 64 * 1024;
// A change wakes the waiting thread at once; this only bounds a wake that came in between.
constexpr DWORD kWaitMs = 100;
// The directory's names are read up to this length, and compared so.
constexpr size_t kNameBytes = 260;
// Before its checksums have passed, a pack's entries may take at most this many times the bytes
// that arrived, and this many more: a hostile pack fills no disk before it is refused.
constexpr std::uint64_t kMostInflation = 16;
constexpr std::uint64_t kInflationSlack = 64ull << 20;
// Written with no attributes of their own, files the directory gives these are written again.
constexpr std::uint32_t kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// A stored name as the directory's reader sees it: at most kNameBytes, up to a zero byte.
std::wstring entryName(const std::string& stored) {
    return cleanEntryName(fromUtf8(stored.c_str()).substr(0, kNameBytes));
}

} // namespace

PackArrival::PackArrival() : changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

void PackArrival::arrived(std::uint64_t bytes) {
    bytes_ = bytes;
    wake();
}

void PackArrival::end() {
    ended_ = true;
    wake();
}

void PackArrival::rewind() {
    rewound_ = true;
    end();
}

bool PackArrival::waitFor(std::uint64_t bytes, const std::atomic<bool>& abandon) const {
    for (;;) {
        if (rewound_ || abandon)
            return false;
        // Bytes are told before the end, so that what arrived last counts.
        const bool ended = ended_;
        if (bytes_ >= bytes)
            return true;
        if (ended)
            return false;
        if (!changed_ || WaitForSingleObject(changed_.get(), kWaitMs) == WAIT_FAILED)
            Sleep(kWaitMs);
    }
}

std::ptrdiff_t EarlyEntries::written(const ZipEntry& entry, bool isFolder) const {
    const auto found = std::lower_bound(
        entries.begin(), entries.end(), entry.dataAt,
        [](const EarlyEntry& early, std::uint64_t at) { return early.dataAt < at; });
    if (entry.dataAt == 0 || found == entries.end() || found->dataAt != entry.dataAt ||
        found->name != entry.name || found->folder != isFolder)
        return -1;
    const LocalHeader& header = found->header;
    const bool alike =
        isFolder || (header.crc == entry.crc && header.compressedSize == entry.compressedSize &&
                     header.size == entry.uncompressedSize && header.method == entry.method &&
                     header.dosDate == entry.dosDate && !(entry.attributes & kKeptAttributes));
    return alike ? found - entries.begin() : -1;
}

EarlyExtraction::EarlyExtraction(const std::wstring& pack, const std::wstring& folder,
                                 const PackArrival& arrival)
    : pack_(pack), arrival_(arrival), written_{folder, 0, {}},
      thread_(pack.empty() || folder.empty() ? nullptr
                                             : CreateThread(nullptr, 0, &run, this, 0, nullptr)) {}

EarlyExtraction::~EarlyExtraction() {
    abandon_ = true;
    arrival_.wake();
    if (!thread_)
        return;
    WaitForSingleObject(thread_.get(), INFINITE);
    file_.reset();
    removeTree(written_.folder); // nothing is there once the VM was moved into place
}

const EarlyEntries& EarlyExtraction::finish() {
    finish_ = true;
    arrival_.wake();
    if (thread_)
        WaitForSingleObject(thread_.get(), INFINITE);
    // Discarded, or started again with the download: nothing written counts.
    if (arrival_.rewound() || !thread_ || written_.archiveAt == 0) {
        written_.archiveAt = 0;
        written_.entries.clear();
    }
    trace(L"vm.zip: " + decimal(static_cast<long long>(written_.entries.size())) +
          L" entries written as the pack arrived");
    return written_;
}

DWORD WINAPI EarlyExtraction::run(void* self) {
    EarlyExtraction& early = *static_cast<EarlyExtraction*>(self);
    // Nothing raised leaves the thread; what it wrote then counts for nothing.
    try {
        early.follow();
    } catch (...) {
        early.written_.archiveAt = 0;
    }
    return 0;
}

void EarlyExtraction::follow() {
    if (!freshFolder(written_.folder) || !arrival_.waitFor(LocalHeader::kFixedLength, abandon_))
        return;
    file_ = UniqueHandle(CreateFileW(pack_.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LocalHeader header;
    std::string name;
    std::vector<unsigned char> extra;
    // The pack's members up to its vm.zip, which must be stored as it is.
    std::uint64_t at = 0;
    for (;; at += header.compressedSize) {
        if (!file_ || !this->header(at, header, name, extra) || !header.writableAsItArrives())
            return;
        at += header.length();
        if (name.size() == 6 && _strnicmp(name.data(), "vm.zip", 6) == 0)
            break;
    }
    if (header.method != 0)
        return;
    const std::uint64_t base = at;
    const std::uint64_t end = at + header.compressedSize;
    written_.archiveAt = base;
    const std::wstring folder = written_.folder + L"\\";
    // Its entries, until its directory starts.
    while (!finish_ && at + LocalHeader::kFixedLength <= end &&
           this->header(at, header, name, extra) && header.writableAsItArrives()) {
        EarlyEntry entry{entryName(name), at + header.length() - base, header};
        at += header.length() + header.compressedSize;
        if (at > end)
            return;
        if (entry.name.empty() || namesDevice(folder + entry.name))
            continue; // as the directory's walk leaves it out
        entry.folder = entry.name.back() == L'\\';
        if (entry.folder)
            createFolders(folder + entry.name);
        else if (!writeEntry(base + entry.dataAt, header, folder + entry.name, extra))
            return discard(); // it may have replaced or left a folder of an entry written before
        written_.entries.push_back(std::move(entry));
    }
}

bool EarlyExtraction::readAt(std::uint64_t at, void* buffer, DWORD size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(at);
    DWORD got = 0;
    readTo_ = at + size > readTo_ ? at + size : readTo_;
    return size == 0 || (arrival_.waitFor(at + size, abandon_) &&
                         SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) &&
                         ReadFile(file_.get(), buffer, size, &got, nullptr) && got == size);
}

bool EarlyExtraction::header(std::uint64_t at, LocalHeader& header, std::string& name,
                             std::vector<unsigned char>& extra) {
    unsigned char fixed[LocalHeader::kFixedLength];
    if (!readAt(at, fixed, sizeof fixed) ||
        readLocalHeader(fixed, sizeof fixed, header) != LocalHeaderRead::Read)
        return false;
    name.resize(header.nameLength);
    extra.resize(header.extraLength);
    at += sizeof fixed;
    return readAt(at, name.data(), header.nameLength) &&
           readAt(at + header.nameLength, extra.data(), header.extraLength);
}

bool EarlyExtraction::writeEntry(std::uint64_t dataAt, const LocalHeader& header,
                                 const std::wstring& path,
                                 const std::vector<unsigned char>& extra) {
    UniqueHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out && GetLastError() == ERROR_PATH_NOT_FOUND && createFolders(parent(path, L"")))
        out = UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return false;
    if (copyData(dataAt, header, out.get())) {
        ZipEntry times;
        setEntryTimes(times, header.dosDate, extra.data(), extra.size());
        SetFileTime(out.get(), &times.creationTime, &times.accessTime, &times.modificationTime);
        // A file that could not be closed may not have been written whole.
        if (CloseHandle(out.release()))
            return true;
    }
    out.reset();
    DeleteFileW(path.c_str());
    return false;
}

bool EarlyExtraction::put(HANDLE out, const unsigned char* bytes, DWORD count, Check& check,
                          const LocalHeader& header) {
    DWORD written = 0;
    wrote_ += count;
    if (count > header.size - check.size || abandon_ || packProgress().cancelRequested() ||
        wrote_ > kMostInflation * readTo_ + kInflationSlack)
        return false;
    check.size += count;
    check.crc = crc32(check.crc, bytes, count);
    return count == 0 || (WriteFile(out, bytes, count, &written, nullptr) && written == count);
}

bool EarlyExtraction::copyData(std::uint64_t at, const LocalHeader& header, HANDLE out) {
    // What is read, then what it inflates to.
    std::vector<unsigned char> buffers(2 * kPieceBytes);
    unsigned char* const in = buffers.data();
    unsigned char* const produced = in + kPieceBytes;
    z_stream stream = {};
    if (header.method == 8 && inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    // Ends the inflation on every way out.
    const std::unique_ptr<z_stream, int (*)(z_stream*)> inflating(
        header.method == 8 ? &stream : nullptr, &inflateEnd);
    Check check;
    int status = header.method == 8 ? Z_OK : Z_STREAM_END;
    for (std::uint32_t left = header.compressedSize; left > 0;) {
        const DWORD piece = left < kPieceBytes ? left : kPieceBytes;
        if (!readAt(at, in, piece))
            return false;
        at += piece;
        left -= piece;
        if (header.method != 8) {
            if (!put(out, in, piece, check, header))
                return false;
            continue;
        }
        stream.next_in = in;
        stream.avail_in = piece;
        // Each piece is inflated whole; data past the end of the stream is damage.
        do {
            if (status != Z_OK)
                return false;
            stream.next_out = produced;
            stream.avail_out = kPieceBytes;
            status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_BUF_ERROR && stream.avail_in == 0)
                status = Z_OK; // all of the piece taken: the next one goes on
            if ((status != Z_OK && status != Z_STREAM_END) ||
                !put(out, produced, kPieceBytes - stream.avail_out, check, header))
                return false;
        } while (stream.avail_in > 0 || (stream.avail_out == 0 && status == Z_OK));
    }
    return status == Z_STREAM_END && check.size == header.size && check.crc == header.crc;
}

} // namespace tarrow
