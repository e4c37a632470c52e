// Registry access: a key owner that reports failures as KeyException, and root-name parsing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace tarrow {

class RegistryKey {
  public:
    // Opens `path` below HKEY_LOCAL_MACHINE.
    RegistryKey(const std::wstring& path, REGSAM access);
    // Opens `path` below `root` (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, ...).
    RegistryKey(HKEY root, const std::wstring& path, REGSAM access);
    // Opens `subpath` below an open key; the path becomes parent path + "\" + subpath.
    RegistryKey(const RegistryKey& parent, const std::wstring& subpath, REGSAM access);

    // The string held by a REG_SZ, REG_EXPAND_SZ (unexpanded) or REG_MULTI_SZ (first string)
    // value of at most 255 characters. Raises KeyException "key not open", "key query failed"
    // or "value not a string".
    std::wstring readString(const std::wstring& valueName) const;

    // The names of the subkeys in enumeration order.
    std::vector<std::wstring> subkeyNames() const;

    void close() { handle_.reset(); }
    bool isOpen() const { return static_cast<bool>(handle_); }
    const std::wstring& path() const { return path_; }

  private:
    void open(HKEY root, const std::wstring& subpath, REGSAM access);

    std::wstring path_;
    UniqueRegistryKey handle_;
};

// One registry view a search reads, and how its trace names it.
struct RegistryView {
    REGSAM flag; // KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0
    const wchar_t* name;
};

// The views of HKEY_LOCAL_MACHINE a search reads: the launcher's own, then, on 64-bit Windows,
// the 64-bit one.
std::vector<RegistryView> machineRegistryViews(bool sees64Bit);

// The one view of HKEY_CURRENT_USER a search reads: its software keys are the same in both
// views, so they are read once (in the 64-bit view on 64-bit Windows, where they live).
RegistryView userRegistryView(bool sees64Bit);

// The root key named by the start of a full path such as "\HKEY_LOCAL_MACHINE\SOFTWARE\...",
// compared exactly; null when the path names none.
HKEY parseRegistryRoot(const std::wstring& fullPath);

} // namespace tarrow
