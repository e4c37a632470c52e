#include "EnvironmentTable.h"

#include <cwchar>

#include "PropertiesSyntax.h"
#include "Text.h"

namespace tarrow {

EnvironmentTable EnvironmentTable::fromBlock(const wchar_t* block) {
    EnvironmentTable table;
    for (const wchar_t* entry = block; entry && *entry; entry += std::wcslen(entry) + 1) {
        const std::wstring text(entry);
        const size_t equals = text.find(L'=');
        if (equals == std::wstring::npos)
            table.variables_[text] = std::wstring();
        else
            table.variables_[text.substr(0, equals)] = text.substr(equals + 1);
    }
    return table;
}

std::optional<std::wstring> EnvironmentTable::raw(const std::wstring& name) const {
    const auto found = variables_.find(name);
    if (found == variables_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::wstring> EnvironmentTable::pathVariableName() const {
    for (const auto& variable : variables_) {
        if (toLower(variable.first) == L"path")
            return variable.first;
    }
    return std::nullopt;
}

namespace {

// One export line, built in a single allocation: a launch writes three for every variable.
std::wstring exportLine(const std::wstring& prefix, const std::wstring& name,
                        const std::wstring& value) {
    std::wstring line;
    line.reserve(prefix.size() + name.size() + 1 + value.size());
    return line.append(prefix).append(name).append(1, L'=').append(value);
}

} // namespace

std::vector<std::wstring>
environmentExportLines(const EnvironmentTable& table,
                       const std::function<std::wstring(const std::wstring&)>& expandedValue) {
    static const std::wstring prefix = L"kiv.nl.env.";
    static const std::wstring exactPrefix = L"kiv.nl.env.exact_case.";
    std::vector<std::wstring> lines;
    lines.reserve(3 * table.variables().size());
    for (const auto& variable : table.variables()) {
        const std::wstring name = escapeForProperties(variable.first);
        const std::wstring value = escapeForProperties(expandedValue(variable.first));
        lines.push_back(exportLine(prefix, toLower(name), value));
        lines.push_back(exportLine(prefix, toUpper(name), value));
        lines.push_back(exportLine(exactPrefix, name, value));
    }
    return lines;
}

} // namespace tarrow
