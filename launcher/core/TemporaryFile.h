// Files in the user's temporary folder that the launcher makes for one launch: the VM
// information file, the Java argument file and the class-path jar. Each is "kiv*.tmp", held open
// by its owner without sharing deletion, so that another launch's sweep (LeftoverSweep) never
// removes it while its launch lives.
#pragma once

#include <memory>
#include <string>

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
    // A new, empty file; null when none can be made.
    static std::unique_ptr<TemporaryFile> create();
    // A new file holding `bytes`; null when it cannot be written.
    static std::unique_ptr<TemporaryFile> write(const std::string& bytes);
    // Removes the file, unless kept.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& path() const { return path_; }
    // Leaves the file on disk when its owner ends: someone else still needs it.
    void keep() { kept_ = true; }

  private:
    explicit TemporaryFile(std::wstring path);
    std::wstring path_;
    UniqueHandle held_;
    bool kept_ = false;
};

} // namespace tarrow
