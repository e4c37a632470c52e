#include "ZipReader.h"

#include <unzip.h>

#include "FileSystem.h"
#include "PathString.h"
#include "Text.h"
#include "UniqueHandle.h"
#include "ZipEntryName.h"

namespace tarrow {

namespace {

constexpr size_t kTransferBytes = 16 * 1024;
constexpr uLong kNameBytes = 260;

// File access for minizip through platform handles opened for shared reading. Writing is shared
// too, so that a downloaded pack can be read while its download still holds it against any
// other writer. The stream object owns its handle.
struct ArchiveFile {
    UniqueHandle handle;
};

voidpf ZCALLBACK openFile(voidpf, const void* path, int) {
    UniqueHandle handle(CreateFileW(static_cast<const wchar_t*>(path), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return nullptr;
    return new ArchiveFile{std::move(handle)};
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buffer, uLong size) {
    DWORD got = 0;
    if (!ReadFile(static_cast<ArchiveFile*>(stream)->handle.get(), buffer, size, &got, nullptr))
        return 0;
    return got;
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf stream) {
    LARGE_INTEGER zero = {}, position = {};
    if (!SetFilePointerEx(static_cast<ArchiveFile*>(stream)->handle.get(), zero, &position,
                          FILE_CURRENT))
        return static_cast<ZPOS64_T>(-1);
    return static_cast<ZPOS64_T>(position.QuadPart);
}

long ZCALLBACK seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const DWORD method = origin == ZLIB_FILEFUNC_SEEK_CUR   ? FILE_CURRENT
                         : origin == ZLIB_FILEFUNC_SEEK_END ? FILE_END
                                                            : FILE_BEGIN;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(static_cast<ArchiveFile*>(stream)->handle.get(), distance, nullptr,
                            method)
               ? 0
               : -1;
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
        : path_(path), attributes_(attributes),
          handle_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool opened() const { return static_cast<bool>(handle_); }
    HANDLE get() const { return handle_.get(); }
    void discard() {
        handle_.reset();
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
    }
    // Closes the written file. Read-only, hidden and system are set once more on the closed
    // file: not every file system keeps them from the creation (Wine 10 drops read-only).
    void finish() {
        handle_.reset();
        constexpr DWORD kKept =
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (attributes_ & kKept)
            SetFileAttributesW(path_.c_str(), attributes_);
    }

  private:
    std::wstring path_;
    DWORD attributes_;
    UniqueHandle handle_;
};

} // namespace

std::unique_ptr<ZipReader> ZipReader::open(const std::wstring& path) {
    zlib_filefunc64_def access = {openFile, readFile,  writeFile, tellFile,
                                  seekFile, closeFile, errorFile, nullptr};
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
    if (index < position_ || position_ == 0) {
        if (unzGoToFirstFile(archive_) != UNZ_OK)
            return false;
        position_ = 0;
    }
    while (position_ < index) {
        if (unzGoToNextFile(archive_) != UNZ_OK)
            return false;
        ++position_;
    }
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
    if (index == cachedIndex_) {
        entry = cached_;
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
    const FILETIME dosTime = dosTimeToUtc(info.dosDate);
    found.accessTime = found.creationTime = found.modificationTime = dosTime;
    found.compressedSize = static_cast<std::uint32_t>(info.compressed_size);
    found.uncompressedSize = static_cast<std::uint32_t>(info.uncompressed_size);
    if (unzOpenCurrentFile(archive_) == UNZ_OK) {
        const int length = unzGetLocalExtrafield(archive_, nullptr, 0);
        if (length > 4) {
            std::vector<unsigned char> extra(static_cast<size_t>(length));
            const int got =
                unzGetLocalExtrafield(archive_, extra.data(), static_cast<unsigned>(length));
            if (const auto times =
                    parseExtendedTimestamp(extra.data(), got > 0 ? static_cast<size_t>(got) : 0)) {
                if (times->modification)
                    found.modificationTime = toFileTime(*times->modification);
                if (times->access)
                    found.accessTime = toFileTime(*times->access);
                if (times->creation)
                    found.creationTime = toFileTime(*times->creation);
            }
        }
        unzCloseCurrentFile(archive_);
    }
    cachedIndex_ = index;
    cached_ = found;
    entry = found;
    return kZipOk;
}

std::wstring ZipReader::createParents(const std::wstring& folder) {
    std::wstring current;
    for (size_t at = 0; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == L'\\' || folder[at] == L'/') {
            current = folder.substr(0, at);
            if (!current.empty() && current.back() != L':' && !exists(current))
                CreateDirectoryW(current.c_str(), nullptr);
        }
    }
    return current;
}

ZipResult ZipReader::extractItem(std::int32_t index, const std::wstring& name) {
    ZipEntry entry;
    if (item(index, entry) != kZipOk)
        return kZipFailed;
    // Names come cleaned from item(); an empty one has nothing left to write.
    const std::wstring relative = cleanEntryName(name);
    if (relative.empty())
        return kZipSkipped;
    // Some archivers (Java's among them) mark a folder only by the separator ending its name.
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || relative.back() == L'\\') {
        createParents(base_ + relative);
        return kZipOk;
    }
    createParents(base_ + parent(relative, L""));
    OutputFile file(base_ + relative, entry.attributes & 0x27);
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
        if (!WriteFile(file.get(), buffer_.data(), static_cast<DWORD>(got), &done, nullptr) ||
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
    file.finish();
    return kZipOk;
}

} // namespace tarrow
