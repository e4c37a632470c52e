// Files in the user's temporary folder that the launcher makes for one launch: the VM
// information file, the Java argument file and the class-path jar. Each is "kiv*.tmp", held open
// by its owner without sharing deletion, so that another launch's sweep (LeftoverSweep) never
// removes it while its launch lives, and, once another process is named as its owner, an owner
// record beside it (LaunchOwner), held the same way, that names the process the file is kept for
// once its handle is gone.
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
    // A new, empty file, held by this launcher, without an owner record; null when none can be
    // made. While this launcher runs, its handle keeps the file from every sweep, and once it
    // has ended, a record naming it would say no more than the file's age: a record is made
    // only for another owner (recordOwner), since on Wine each new name in the folder costs a
    // read of the whole folder. Without one the file is judged by its age alone.
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
    // Names `owner` in the file's owner record from now on, making the record the first time;
    // an orphan record at its name is taken over. Nothing when no record can be made.
    void recordOwner(const LaunchOwner& owner);

  private:
    // A new file (newTemporaryFile); an empty path when none could be made.
    TemporaryFile();
    std::wstring path_;
    UniqueHandle held_;
    UniqueHandle ownerRecord_;
    bool kept_ = false;
};

} // namespace tarrow
