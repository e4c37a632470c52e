// Files in the user's temporary folder that the launcher makes for one launch: the VM
// information file, the Java argument file and the class-path jar. Each is "kiv*.tmp", held open
// by its owner without sharing deletion, so that another launch's sweep (LeftoverSweep) never
// removes it while its launch lives, and has an owner record beside it (LaunchOwner), held the
// same way, that names the process the file is kept for once its handle is gone.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "LaunchOwner.h"
#include "UniqueHandle.h"

namespace tarrow {

// The user's temporary folder, ending in "\"; empty when Windows cannot say or the folder is
// too long for a name to be added.
std::wstring temporaryFolder();

// Creates a new, empty file ("kivXXXX.tmp" from GetTempFileNameW, else a name of the launcher's
// own, created with CREATE_NEW) in the temporary folder and returns its path; empty when none
// can be made.
std::wstring newTemporaryFile();

class TemporaryFile {
  public:
    // A new, empty file, owned by this launcher; null when none can be made. Without an owner
    // record (none could be written) the file is judged by its age alone. A name whose owner
    // record already exists (another's) is given up for a new one, a few times at most.
    static std::unique_ptr<TemporaryFile> create();
    // A new file holding `bytes`; null when it cannot be written.
    static std::unique_ptr<TemporaryFile> write(const std::string& bytes);
    // Removes the file, unless kept.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& path() const { return path_; }
    // Leaves the file and its owner record on disk when this object ends: someone else still
    // needs it. With an `heir`, the record names that process from now on, so that the file
    // stays while it runs.
    void keep(const std::optional<LaunchOwner>& heir = std::nullopt);
    // Names `owner` in the file's owner record from now on (nothing without a record).
    void recordOwner(const LaunchOwner& owner);

  private:
    explicit TemporaryFile(std::wstring path);
    std::wstring path_;
    UniqueHandle held_;
    UniqueHandle ownerRecord_;
    bool kept_ = false;
    // The owner record's name was taken before this file was made: it is not this file's.
    bool foreignRecord_ = false;
};

} // namespace tarrow
