// The launcher's command line: re-joining quoted arguments never invents characters, and
// without the service switch (which takes its name away) none are lost either. Blanks and
// double quotes are the syntax, so they are left out of the comparison.
#include <optional>
#include <string>

#include "CommandLine.h"
#include "FuzzInput.h"

using tarrow::fuzz::require;

namespace {

std::wstring content(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c != L' ' && c != L'"')
            out += c;
    }
    return out;
}

bool isSubsequence(const std::wstring& part, const std::wstring& whole) {
    size_t at = 0;
    for (wchar_t c : part) {
        at = whole.find(c, at);
        if (at == std::wstring::npos)
            return false;
        ++at;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::wstring line = tarrow::fuzz::latin1(data, size);
    const auto record = tarrow::CommandLine::parse(
        line, [](const std::wstring&) { return std::optional<std::wstring>(); });
    std::wstring passed;
    for (const auto& argument : record.arguments())
        passed += content(argument);
    const std::wstring given = content(line);
    require(isSubsequence(passed, given), "arguments hold only characters of the command line");
    if (line.find(L"-mvkivservice") == std::wstring::npos)
        require(passed == given, "no character of the command line is lost");
    tarrow::silentFromArguments(record.arguments(), false);
    record.vmArgument();
    return 0;
}
