// A fresh folder for one test under the temporary directory, removed afterwards, and helpers
// to place files in it.
#pragma once

#include <string>

namespace tarrow::test {

class TestFolder {
  public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& path() const { return path_; }
    // path() + "\" + relative
    std::wstring operator/(const std::wstring& relative) const;
    // Creates the file (and its folders) with the given bytes; returns its path.
    std::wstring write(const std::wstring& relative, const std::string& contents = "") const;
    // Creates a folder and every missing parent; returns its path.
    std::wstring makeFolder(const std::wstring& relative) const;
    // Copies a stand-in program (by name, without ".exe") to `relative`; returns its path.
    std::wstring copyStandin(const std::wstring& standin, const std::wstring& relative) const;

  private:
    std::wstring path_;
};

// Reads a whole file as bytes.
std::string readFile(const std::wstring& path);

} // namespace tarrow::test
