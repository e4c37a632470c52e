// ZipReader: the launcher's layer that writes the entries of a ZIP archive to disk, over
// minizip's unzip interface with the launcher's own file access.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarrow {

struct ZipEntry {
    std::int32_t index = 0; // for item(-1): the number of entries
    std::wstring name;      // cleaned
    std::uint32_t attributes = 0;
    FILETIME accessTime = {};
    FILETIME creationTime = {};
    FILETIME modificationTime = {};
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    // What its local header must agree with: where its data starts in the archive (0 when the
    // local header cannot be read), its check value, method and DOS date and time.
    std::uint64_t dataAt = 0;
    std::uint32_t crc = 0;
    std::uint32_t method = 0;
    std::uint32_t dosDate = 0;
};

// Sets the entry's three times from its DOS date and time (local time), or from an extended
// timestamp block in its local extra field where that has them.
void setEntryTimes(ZipEntry& entry, std::uint32_t dosDate, const unsigned char* extra,
                   size_t extraLength);

// Result codes of ZipReader calls.
enum ZipResult : int {
    kZipOk = 0,
    kZipFailed = 1,     // the entry could not be found or read (a damaged central directory)
    kZipSkipped = 2,    // on purpose: the entry's name leaves nothing inside the base folder
    kZipCorrupt = 3,    // the entry's data is damaged or cannot be decoded; its file was removed
    kZipNotWritten = 4, // the entry's file could not be created or written; nothing of it is left
};

// A part of a file read as if it were the whole file: nothing before or after it can be read.
struct FileWindow {
    std::uint64_t offset = 0;
    std::uint64_t length = UINT64_MAX; // as far as the file goes
};

class FileCloser;

// Whether `path` (a folder and an entry's cleaned name) names a device (CON, NUL, COM1,
// "aux.txt", ...) that Windows would open in place of a file there: an entry so named is never
// written. Asks Windows, which makes a device's full path "\\.\NAME"; a path that starts so
// already names no device.
bool namesDevice(const std::wstring& path);

// Creates the folder with every missing parent, from the deepest that exists; true when the folder
// itself was made by this call.
bool createFolders(const std::wstring& folder);

class ZipReader {
  public:
    // Opens an archive (shared read access), or the archive that fills the window of the file.
    // Null when it is not a readable archive.
    static std::unique_ptr<ZipReader> open(const std::wstring& path, FileWindow window = {});
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // index -1: the entry count in entry.index; otherwise that entry.
    ZipResult item(std::int32_t index, ZipEntry& entry);
    // Entries are written below this folder.
    ZipResult setBaseFolder(const std::wstring& folder);
    // Creates the folder `relative` below the base folder with every missing parent.
    void makeFolders(const std::wstring& relative) { createFolders(base_ + relative); }
    // Writes the file entry `index` below the base folder under its cleaned name, whose folder
    // must already exist.
    ZipResult writeFile(std::int32_t index);
    // Written files are handed to the closer instead of being closed at once.
    void setCloser(FileCloser* closer) { closer_ = closer; }
    // Where entry `index`'s data lies in the file when it is stored as it is (not compressed,
    // not encrypted); false otherwise.
    bool storedData(std::int32_t index, FileWindow& where);
    // Goes to the entries at the positions the other reader of the same archive has found, so
    // that it reaches any of them at once. The other reader must outlive this one and walk no
    // further meanwhile.
    void sharePositions(const ZipReader& other) { known_ = &other.positions_; }

  private:
    explicit ZipReader(void* archive);
    bool moveTo(std::int32_t index);

    void* archive_; // minizip's unzFile
    std::int32_t position_ = 0;
    std::wstring base_;
    std::vector<char> buffer_;
    FileCloser* closer_ = nullptr;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> positions_; // minizip's, by index
    const std::vector<std::pair<std::uint64_t, std::uint64_t>>* known_ = &positions_;
};

} // namespace tarrow
