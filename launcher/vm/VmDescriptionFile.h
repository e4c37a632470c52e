// VmDescription: one VM specification file (where to look for a VM, which program to run, which
// system properties it must report). Platform-free.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarrow {

class VmDescription {
  public:
    VmDescription();

    // Clears the previous content and reads a file's bytes (UTF-8 when they are well-formed
    // UTF-8, a byte-order mark skipped, else one character per byte; a carriage return before a
    // line feed is dropped).
    void parse(const std::string& contents);

    // The value of a single-line keyword such as "JVM_EXE:"; empty when the file does not set it.
    std::wstring field(const std::wstring& keyword) const;
    std::wstring jvmExe() const { return field(L"JVM_EXE:"); }

    // Property name -> expected-value pattern, ordered by name.
    const std::map<std::wstring, std::wstring>& jvmProperties() const { return jvmProperties_; }
    const std::vector<std::wstring>& registryHints() const { return registryHints_; }
    const std::vector<std::wstring>& pathHints() const { return pathHints_; }

  private:
    enum class Block { None, Properties, Registry, Paths };
    void parseLine(const std::wstring& line);

    std::vector<std::pair<std::wstring, std::wstring>> fields_; // keyword -> value, table order
    std::map<std::wstring, std::wstring> jvmProperties_;
    std::vector<std::wstring> registryHints_;
    std::vector<std::wstring> pathHints_;
    Block block_ = Block::None;
};

// A registry hint "\ROOT\key\path\value" taken apart: key path and value name (trimmed).
struct RegistryHintParts {
    std::wstring keyPath;
    std::wstring valueName;
};
RegistryHintParts splitRegistryHint(const std::wstring& hint);

// The number of ".." levels a path hint climbs: its count of "." characters, halved.
int pathHintLevels(const std::wstring& hint);

// The folder a relative path hint names, from the reference location L (the content of
// "sea_loc"): L loses its last component, climbs one level per further step, and gets the
// hint's last component appended.
std::wstring relativeHintFolder(const std::wstring& referenceLocation, const std::wstring& hint);

} // namespace tarrow
