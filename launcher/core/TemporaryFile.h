// A file in the user's temporary folder that lives as long as its owner.
#pragma once

#include <memory>
#include <string>

namespace tarrow {

// Creates a new, empty file ("kivXXXX.tmp") in the user's temporary folder and returns its
// path; empty when it cannot be made. The caller decides how long it lives.
std::wstring newTemporaryFile();

class TemporaryFile {
  public:
    // Creates a new file ("kivXXXX.tmp") holding `bytes`; null when it cannot be written.
    static std::unique_ptr<TemporaryFile> write(const std::string& bytes);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& path() const { return path_; }

  private:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    std::wstring path_;
};

} // namespace tarrow
