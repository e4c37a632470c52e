#include "Environment.h"

#include <windows.h>

#include <vector>

#include "FileSystem.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

constexpr DWORD kExpandBufferChars = 2048;

std::wstring expandReferences(const std::wstring& value) {
    // Without a reference there is nothing to expand; most values have none.
    if (value.find(L'%') == std::wstring::npos)
        return value;
    std::vector<wchar_t> buffer(kExpandBufferChars);
    DWORD needed =
        ExpandEnvironmentStringsW(value.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed > buffer.size()) {
        // A longer value is expanded whole rather than cut.
        buffer.resize(needed);
        needed = ExpandEnvironmentStringsW(value.c_str(), buffer.data(),
                                           static_cast<DWORD>(buffer.size()));
    }
    if (needed == 0 || needed > buffer.size())
        return value;
    return std::wstring(buffer.data());
}

} // namespace

const EnvironmentTable& environment() {
    static const EnvironmentTable table = [] {
        UniqueEnvironmentBlock block(GetEnvironmentStringsW());
        return EnvironmentTable::fromBlock(block.get());
    }();
    return table;
}

std::wstring getVariable(const std::wstring& name) {
    const auto raw = environment().raw(name);
    return raw ? expandReferences(*raw) : std::wstring();
}

Path searchPath() {
    const auto name = environment().pathVariableName();
    return name ? Path(getVariable(*name)) : Path();
}

std::string exportedEnvironment() {
    return environmentExportText(environment(), expandReferences);
}

} // namespace tarrow
