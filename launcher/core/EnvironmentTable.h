// EnvironmentTable: a snapshot of the process environment, and the lines that export it to
// the VM information file. Platform-free.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarrow {

class EnvironmentTable {
  public:
    // One variable, as views into the table's own copy of the block.
    struct Variable {
        std::wstring_view name;
        std::wstring_view value;
    };

    // Reads an environment block: "NAME=VALUE" entries, each ended by a NUL, the block ended
    // by an empty entry. The name is the text before the first "=", so the per-drive entries
    // ("=C:=C:\dir") share the empty name and the last of them stays. The block is copied
    // whole, once: a launch reads every variable, and one copy costs two allocations where a
    // string per name and value would cost hundreds.
    static EnvironmentTable fromBlock(const wchar_t* block);

    EnvironmentTable() = default;
    // Moving keeps the views valid (a moved vector keeps its storage); a copy would not.
    EnvironmentTable(EnvironmentTable&&) = default;
    EnvironmentTable& operator=(EnvironmentTable&&) = default;
    EnvironmentTable(const EnvironmentTable&) = delete;
    EnvironmentTable& operator=(const EnvironmentTable&) = delete;

    // The raw (unexpanded) value of a variable, matched by exact name.
    std::optional<std::wstring> raw(std::wstring_view name) const;

    // The name of the first variable, in table order, whose lower-cased name is "path".
    std::optional<std::wstring> pathVariableName() const;

    // The variables in table order: sorted by name, code unit by code unit, one per name.
    const std::vector<Variable>& variables() const { return variables_; }

  private:
    std::vector<wchar_t> block_;
    std::vector<Variable> variables_;
};

// The three export lines of every variable in table order, as the VM information file holds
// them (appendInfoFileLine): "kiv.nl.env." with the escaped name lower-cased, the same
// upper-cased, and "kiv.nl.env.exact_case." with the escaped name; each with "=" and the escaped
// value in which `expandReferences` has replaced the environment references. Values without a
// "%" hold no reference and are not passed to it. Built straight into the file's bytes: a
// launch exports every variable, and a string per line would cost hundreds of allocations.
std::string
environmentExportText(const EnvironmentTable& table,
                      const std::function<std::wstring(const std::wstring&)>& expandReferences);

} // namespace tarrow
