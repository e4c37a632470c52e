// EnvironmentTable: a snapshot of the process environment, and the lines that export it to
// the VM information file. Platform-free.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarrow {

class EnvironmentTable {
  public:
    // Reads an environment block: "NAME=VALUE" entries, each ended by a NUL, the block ended
    // by an empty entry. The name is the text before the first "=", so the per-drive entries
    // ("=C:=C:\dir") share the empty name and the last of them stays.
    static EnvironmentTable fromBlock(const wchar_t* block);

    // The raw (unexpanded) value of a variable, matched by exact name.
    std::optional<std::wstring> raw(const std::wstring& name) const;

    // The name of the first variable, in table order, whose lower-cased name is "path".
    std::optional<std::wstring> pathVariableName() const;

    const std::map<std::wstring, std::wstring>& variables() const { return variables_; }

    void set(const std::wstring& name, const std::wstring& value) { variables_[name] = value; }

  private:
    std::map<std::wstring, std::wstring> variables_;
};

// The three export lines of every variable in table order: "kiv.nl.env." with the escaped name
// lower-cased, the same upper-cased, and "kiv.nl.env.exact_case." with the escaped name; each
// with "=" and the escaped value that `expandedValue` gives for the variable's own name.
std::vector<std::wstring>
environmentExportLines(const EnvironmentTable& table,
                       const std::function<std::wstring(const std::wstring&)>& expandedValue);

} // namespace tarrow
