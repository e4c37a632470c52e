#include "EnvironmentTable.h"

#include <algorithm>
#include <cwchar>

#include "InsertionSort.h"
#include "PropertiesSyntax.h"
#include "Text.h"

namespace tarrow {

namespace {

// The length of a block up to its closing empty entry, that entry's NUL left out.
size_t blockLength(const wchar_t* block) {
    size_t length = 0;
    while (block && block[length])
        length += std::wcslen(block + length) + 1;
    return length;
}

// Keeps, of each run of variables with one name, the last: as assigning each entry in turn to
// a map would leave it. The variables are sorted by name, stably, so the last is the block's.
void keepLastOfEachName(std::vector<EnvironmentTable::Variable>& variables) {
    size_t kept = 0;
    for (size_t i = 0; i < variables.size(); ++i) {
        if (i + 1 < variables.size() && variables[i + 1].name == variables[i].name)
            continue;
        variables[kept++] = variables[i];
    }
    variables.resize(kept);
}

bool isPathName(std::wstring_view name) {
    static constexpr std::wstring_view path = L"path";
    return name.size() == path.size() &&
           std::equal(name.begin(), name.end(), path.begin(),
                      [](wchar_t a, wchar_t b) { return toLowerChar(a) == b; });
}

} // namespace

EnvironmentTable EnvironmentTable::fromBlock(const wchar_t* block) {
    EnvironmentTable table;
    const size_t length = blockLength(block);
    table.block_.assign(block, block + length);
    const wchar_t* text = table.block_.data();
    for (size_t at = 0; at < length;) {
        const std::wstring_view entry(text + at);
        const size_t equals = entry.find(L'=');
        if (equals == std::wstring_view::npos)
            table.variables_.push_back({entry, std::wstring_view()});
        else
            table.variables_.push_back({entry.substr(0, equals), entry.substr(equals + 1)});
        at += entry.size() + 1;
    }
    insertionSort(table.variables_.begin(), table.variables_.end(),
                  [](const Variable& a, const Variable& b) { return a.name < b.name; });
    keepLastOfEachName(table.variables_);
    return table;
}

std::optional<std::wstring> EnvironmentTable::raw(std::wstring_view name) const {
    const auto found = std::lower_bound(
        variables_.begin(), variables_.end(), name,
        [](const Variable& variable, std::wstring_view wanted) { return variable.name < wanted; });
    if (found == variables_.end() || found->name != name)
        return std::nullopt;
    return std::wstring(found->value);
}

std::optional<std::wstring> EnvironmentTable::pathVariableName() const {
    for (const auto& variable : variables_) {
        if (isPathName(variable.name))
            return std::wstring(variable.name);
    }
    return std::nullopt;
}

namespace {

// One export line: `prefix`, the escaped name with `mapCase` applied to each character (none:
// as it stands), "=" and the escaped value; composed in `line`, whose storage is reused.
void appendExportLine(std::string& text, std::wstring& line, std::wstring_view prefix,
                      const std::wstring& name, wchar_t (*mapCase)(wchar_t),
                      const std::wstring& value) {
    line.assign(prefix);
    line.append(name);
    if (mapCase) {
        for (size_t i = prefix.size(); i < line.size(); ++i)
            line[i] = mapCase(line[i]);
    }
    line += L'=';
    line.append(value);
    appendInfoFileLine(text, line);
}

} // namespace

std::string
environmentExportText(const EnvironmentTable& table,
                      const std::function<std::wstring(const std::wstring&)>& expandReferences) {
    static constexpr std::wstring_view prefix = L"kiv.nl.env.";
    static constexpr std::wstring_view exactPrefix = L"kiv.nl.env.exact_case.";
    size_t estimate = 0;
    for (const auto& variable : table.variables())
        estimate += 3 * (exactPrefix.size() + variable.name.size() + variable.value.size() + 3);
    std::string text;
    text.reserve(estimate);
    // Reused for every variable: a launch exports every variable, and their storage grows to the
    // longest and stays.
    std::wstring name;
    std::wstring value;
    std::wstring line;
    for (const auto& variable : table.variables()) {
        name.clear();
        appendEscapedForProperties(name, variable.name);
        value.clear();
        if (variable.value.find(L'%') == std::wstring_view::npos)
            appendEscapedForProperties(value, variable.value);
        else
            appendEscapedForProperties(value, expandReferences(std::wstring(variable.value)));
        appendExportLine(text, line, prefix, name, toLowerChar, value);
        appendExportLine(text, line, prefix, name, toUpperChar, value);
        appendExportLine(text, line, exactPrefix, name, nullptr, value);
    }
    return text;
}

} // namespace tarrow
