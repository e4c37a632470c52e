// The "Verify" probe's output against expected patterns: line ends (LF or CR LF) never change
// the verdict; "*" matches anything; a plain value matches itself.
#include <map>
#include <string>

#include "FuzzInput.h"
#include "VerifyOutput.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto texts = tarrow::fuzz::twoTexts(data, size);
    // First text: "name=pattern" lines; second: what the probe printed.
    std::map<std::wstring, std::wstring> properties;
    size_t start = 0;
    while (start < texts.first.size()) {
        size_t end = texts.first.find(L'\n', start);
        if (end == std::wstring::npos)
            end = texts.first.size();
        const std::wstring line = texts.first.substr(start, end - start);
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            properties[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    const std::wstring& output = texts.second;
    for (const auto& property : properties) {
        require(tarrow::matchesPropertyPattern(property.second, L"*"), "\"*\" matches anything");
        const std::wstring& v = property.second;
        const bool special = (!v.empty() && v.back() == L'*') ||
                             (v.size() >= 3 && v.compare(v.size() - 3, 3, L"...") == 0);
        if (!special)
            require(tarrow::matchesPropertyPattern(v, v), "a plain value matches itself");
    }
    if (output.find(L'\r') == std::wstring::npos) {
        std::wstring crlf;
        for (wchar_t c : output)
            crlf += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
        require(tarrow::verifyOutputMatches(output, properties) ==
                    tarrow::verifyOutputMatches(crlf, properties),
                "CR LF and LF line ends give the same verdict");
    }
    return 0;
}
