#include "ZipReader.h"

#include <unzip.h>

#include <cstring>
#include <new>

#include "FileCloser.h"
#include "FileSystem.h"
#include "PackProgress.h"
#include "PathString.h"
#include "Text.h"
#include "UniqueHandle.h"
#include "ZipEntryName.h"

namespace tarrow {

namespace {

constexpr size_t kTransferBytes = 64 * 1024;
constexpr uLong kNameBytes = 260;

// Reads up to this size come from a copy of the bytes that follow them: minizip reads each field
// of a header on its own, a byte or two at a time, and each read of the file costs a system call.
constexpr uLong kSmallRead = 64;
constexpr uLong kReadAhead = 4096;

// File access for minizip through platform handles opened for shared reading, confined to a
// window of the file: positions count from its start and reads end at its end. Writing is shared
// too, so that a downloaded pack can be read while its download still holds it against any other
// writer. The stream object owns its handle.
struct ArchiveFile {
    UniqueHandle handle;
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t position = 0;
    LONGLONG handleAt = 0;     // the handle's own position in the file; -1 when unknown
    std::uint64_t aheadAt = 0; // the window position of `ahead`'s first byte
    uLong aheadBytes = 0;
    unsigned char ahead[kReadAhead] = {};
};

voidpf ZCALLBACK openFile(voidpf window, const void* path, int) {
    UniqueHandle handle(CreateFileW(static_cast<const wchar_t*>(path), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!handle || !GetFileSizeEx(handle.get(), &size))
        return nullptr;
    const FileWindow& part = *static_cast<const FileWindow*>(window);
    const std::uint64_t end = static_cast<std::uint64_t>(size.QuadPart);
    const std::uint64_t offset = part.offset < end ? part.offset : end;
    const std::uint64_t length = part.length < end - offset ? part.length : end - offset;
    return new (std::nothrow) ArchiveFile{std::move(handle), offset, length};
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buffer, uLong size) {
    ArchiveFile& file = *static_cast<ArchiveFile*>(stream);
    const std::uint64_t from = file.position;
    const bool small = size <= kSmallRead;
    if (small && from >= file.aheadAt && from + size <= file.aheadAt + file.aheadBytes) {
        std::memcpy(buffer, file.ahead + (from - file.aheadAt), size);
        file.position += size;
        return size;
    }
    uLong wanted = small ? kReadAhead : size;
    if (from >= file.length)
        return 0;
    if (wanted > file.length - from)
        wanted = static_cast<uLong>(file.length - from);
    // The handle's own position is moved only when it is not where the read starts: a read at
    // a given offset costs Wine a round trip to its server.
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(file.offset + from);
    DWORD got = 0;
    if ((file.handleAt != at.QuadPart &&
         !SetFilePointerEx(file.handle.get(), at, nullptr, FILE_BEGIN)) ||
        !ReadFile(file.handle.get(), small ? file.ahead : buffer, wanted, &got, nullptr)) {
        file.handleAt = -1;
        file.aheadBytes = 0;
        return 0;
    }
    file.handleAt = at.QuadPart + got;
    if (small) {
        file.aheadAt = from;
        file.aheadBytes = got;
        got = got < size ? got : size;
        std::memcpy(buffer, file.ahead, got);
    }
    file.position += got;
    return got;
}

uLong ZCALLBACK noWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf stream) {
    return static_cast<ArchiveFile*>(stream)->position;
}

long ZCALLBACK seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    ArchiveFile& file = *static_cast<ArchiveFile*>(stream);
    file.position = offset + (origin == ZLIB_FILEFUNC_SEEK_CUR   ? file.position
                              : origin == ZLIB_FILEFUNC_SEEK_END ? file.length
                                                                 : 0);
    return 0;
}

int ZCALLBACK closeFile(voidpf, voidpf stream) {
    delete static_cast<ArchiveFile*>(stream);
    return 0;
}

int ZCALLBACK errorFile(voidpf, voidpf) {
    return 0;
}

FILETIME toFileTime(std::int64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(value) >> 32);
    return time;
}

// A DOS date and time taken as local time, in UTC.
FILETIME dosTimeToUtc(uLong dosDate) {
    const DosDateTime d = decodeDosDateTime(dosDate);
    SYSTEMTIME local = {};
    local.wYear = static_cast<WORD>(d.year);
    local.wMonth = static_cast<WORD>(d.month);
    local.wDay = static_cast<WORD>(d.day);
    local.wHour = static_cast<WORD>(d.hour);
    local.wMinute = static_cast<WORD>(d.minute);
    local.wSecond = static_cast<WORD>(d.second);
    FILETIME localTime = {}, utc = {};
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc))
        return FILETIME{};
    return utc;
}

std::wstring withSeparator(const std::wstring& folder) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder;
    return folder + L"\\";
}

// A file created with the entry's attributes; removed when the entry fails.
class OutputFile {
  public:
    OutputFile(const std::wstring& path, DWORD attributes)
        : file_{UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr)),
                path, attributes} {}
    bool opened() const { return static_cast<bool>(file_.handle); }
    HANDLE get() const { return file_.handle.get(); }
    void discard() {
        file_.handle.reset();
        SetFileAttributesW(file_.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file_.path.c_str());
    }
    // The written file, to be closed.
    WrittenFile& written() { return file_; }

  private:
    WrittenFile file_;
};

} // namespace

bool namesDevice(const std::wstring& path) {
    const auto devicePrefixed = [](const wchar_t* text) {
        return text[0] == L'\\' && text[1] == L'\\' && text[2] == L'.' && text[3] == L'\\';
    };
    wchar_t full[16];
    const DWORD length = GetFullPathNameW(path.c_str(), 16, full, nullptr);
    return length > 4 && length < 16 && devicePrefixed(full) &&
           !(path.size() >= 4 && devicePrefixed(path.c_str()));
}

std::unique_ptr<ZipReader> ZipReader::open(const std::wstring& path, FileWindow window) {
    zlib_filefunc64_def access = {openFile, readFile,  noWrite,   tellFile,
                                  seekFile, closeFile, errorFile, &window};
    unzFile archive = unzOpen2_64(path.c_str(), &access);
    if (!archive)
        return nullptr;
    return std::unique_ptr<ZipReader>(new ZipReader(archive));
}

ZipReader::ZipReader(void* archive) : archive_(archive), base_(withSeparator(currentDirectory())) {}

ZipReader::~ZipReader() {
    unzClose(archive_);
}

ZipResult ZipReader::setBaseFolder(const std::wstring& folder) {
    base_ = withSeparator(folder);
    return kZipOk;
}

bool ZipReader::moveTo(std::int32_t index) {
    if (static_cast<size_t>(index) < known_->size()) {
        unz64_file_pos at = {(*known_)[index].first, (*known_)[index].second};
        if (unzGoToFilePos64(archive_, &at) != UNZ_OK)
            return false;
        position_ = index;
        return true;
    }
    if (index < position_ || position_ == 0) {
        if (unzGoToFirstFile(archive_) != UNZ_OK)
            return false;
        position_ = 0;
    }
    for (;; ++position_) {
        // Every position walked past is kept for the next visit, of this reader or another.
        unz64_file_pos at;
        if (positions_.size() == static_cast<size_t>(position_) &&
            unzGetFilePos64(archive_, &at) == UNZ_OK)
            positions_.emplace_back(at.pos_in_zip_directory, at.num_of_file);
        if (position_ == index)
            return true;
        if (unzGoToNextFile(archive_) != UNZ_OK)
            return false;
    }
}

bool ZipReader::storedData(std::int32_t index, FileWindow& where) {
    unz_file_info64 info;
    if (index < 0 || !moveTo(index) ||
        unzGetCurrentFileInfo64(archive_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.compression_method != 0 || (info.flag & 1) ||
        info.compressed_size != info.uncompressed_size || unzOpenCurrentFile(archive_) != UNZ_OK)
        return false;
    where.offset = unzGetCurrentFileZStreamPos64(archive_);
    where.length = info.compressed_size;
    unzCloseCurrentFile(archive_);
    return true;
}

ZipResult ZipReader::item(std::int32_t index, ZipEntry& entry) {
    if (index == -1) {
        unz_global_info64 global;
        if (unzGetGlobalInfo64(archive_, &global) != UNZ_OK)
            return kZipFailed;
        entry = ZipEntry();
        entry.index = static_cast<std::int32_t>(global.number_entry);
        return kZipOk;
    }
    if (index < 0 || !moveTo(index))
        return kZipFailed;
    unz_file_info64 info;
    char name[kNameBytes + 1] = {};
    if (unzGetCurrentFileInfo64(archive_, &info, name, kNameBytes, nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return kZipFailed;
    ZipEntry found;
    found.index = index;
    found.name = cleanEntryName(fromUtf8(name));
    found.attributes = entryAttributes(info.version, info.external_fa);
    found.compressedSize = static_cast<std::uint32_t>(info.compressed_size);
    found.uncompressedSize = static_cast<std::uint32_t>(info.uncompressed_size);
    found.crc = static_cast<std::uint32_t>(info.crc);
    found.method = static_cast<std::uint32_t>(info.compression_method);
    found.dosDate = static_cast<std::uint32_t>(info.dosDate);
    // A local extra field holds at most 65,535 bytes (its length is a 16-bit count).
    unsigned char extra[0x10000];
    int got = 0;
    if (unzOpenCurrentFile(archive_) == UNZ_OK) {
        found.dataAt = unzGetCurrentFileZStreamPos64(archive_);
        got = unzGetLocalExtrafield(archive_, extra, sizeof extra);
        unzCloseCurrentFile(archive_);
    }
    setEntryTimes(found, found.dosDate, extra, got > 0 ? static_cast<size_t>(got) : 0);
    entry = found;
    return kZipOk;
}

void setEntryTimes(ZipEntry& entry, std::uint32_t dosDate, const unsigned char* extra,
                   size_t extraLength) {
    entry.accessTime = entry.creationTime = entry.modificationTime = dosTimeToUtc(dosDate);
    const auto times = extraLength > 4 ? parseExtendedTimestamp(extra, extraLength) : std::nullopt;
    if (!times)
        return;
    if (times->modification)
        entry.modificationTime = toFileTime(*times->modification);
    if (times->access)
        entry.accessTime = toFileTime(*times->access);
    if (times->creation)
        entry.creationTime = toFileTime(*times->creation);
}

bool createFolders(const std::wstring& folder) {
    // Climbs to the deepest level that exists, cutting the path with a zero at each separator,
    // so that a folder whose parent exists costs one call and a long path no copies.
    std::wstring path = folder;
    size_t length = path.size();
    while (!CreateDirectoryW(path.c_str(), nullptr)) {
        if (GetLastError() != ERROR_PATH_NOT_FOUND)
            return false;
        const size_t at = length > 1 ? path.find_last_of(L"\\/", length - 2) : std::wstring::npos;
        if (at == std::wstring::npos || at == 0 || path[at - 1] == L':')
            return false;
        path[at] = L'\0';
        length = at;
    }
    // Then makes each level below it, up to the folder itself.
    for (size_t at = length; at < folder.size(); at = path.find(L'\0', at)) {
        path[at] = folder[at];
        if (!CreateDirectoryW(path.c_str(), nullptr) && path.find(L'\0', at) == std::wstring::npos)
            return false;
    }
    return true;
}

ZipResult ZipReader::writeFile(std::int32_t index) {
    ZipEntry entry;
    if (item(index, entry) != kZipOk)
        return kZipFailed;
    OutputFile file(base_ + entry.name, entry.attributes & 0x27);
    if (!file.opened())
        return kZipNotWritten;
    if (unzOpenCurrentFilePassword(archive_, nullptr) != UNZ_OK) {
        file.discard();
        return kZipCorrupt;
    }
    if (buffer_.empty())
        buffer_.resize(kTransferBytes);
    int got = 0;
    bool written = true;
    while ((got = unzReadCurrentFile(archive_, buffer_.data(),
                                     static_cast<unsigned>(buffer_.size()))) > 0) {
        DWORD done = 0;
        // A cancel ends even the longest entry at its next piece.
        if (packProgress().cancelRequested() ||
            !WriteFile(file.get(), buffer_.data(), static_cast<DWORD>(got), &done, nullptr) ||
            done != static_cast<DWORD>(got)) {
            written = false;
            break;
        }
    }
    // Closing the entry checks its CRC once all of its data was read.
    const int closed = unzCloseCurrentFile(archive_);
    if (got < 0 || !written || closed != UNZ_OK) {
        file.discard();
        return written ? kZipCorrupt : kZipNotWritten;
    }
    SetFileTime(file.get(), &entry.creationTime, &entry.accessTime, &entry.modificationTime);
    if (closer_)
        closer_->close(std::move(file.written()));
    else if (!closeWrittenFile(file.written()))
        return kZipNotWritten;
    return kZipOk;
}

} // namespace tarrow
