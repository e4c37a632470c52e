#include "JVMVersion.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "Text.h"
#include "Tokenizer.h"

namespace tarrow {

namespace {

std::uint64_t clampComponent(long value, bool& saturated) {
    saturated = saturated || value > JVMVersion::kLargestComponent;
    return static_cast<std::uint64_t>(
        std::max(0L, std::min<long>(JVMVersion::kLargestComponent, value)));
}

long decimalToken(const std::vector<std::wstring>& tokens, size_t index) {
    if (index >= tokens.size())
        return 0;
    long value = 0;
    for (wchar_t c : tokens[index]) {
        if (c < L'0' || c > L'9')
            break;
        value = std::min(value * 10 + (c - L'0'), 100000L);
    }
    return value;
}

} // namespace

void JVMVersion::set(long major, long minor, long micro) {
    saturated_ = false;
    value_ = clampComponent(major, saturated_) << 32 | clampComponent(minor, saturated_) << 16 |
             clampComponent(micro, saturated_);
}

void JVMVersion::setMinor(long minor) {
    const bool saturated = saturated_;
    set(major(), minor, micro());
    saturated_ = saturated_ || saturated;
}

std::wstring versionText(const JVMVersion& version) {
    std::wstring text = decimal(version.major());
    text.append(L".").append(decimal(version.minor())).append(L".");
    text.append(decimal(version.micro()));
    if (version.saturated())
        text.append(L" (a number above 65535 read as 65535)");
    return text;
}

JVMVersion parseVersion(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    for (const auto& token : tokenize(text, L"._")) {
        if (!token.empty())
            tokens.push_back(token);
    }
    if (tokens.empty() || tokens[0] != L"1")
        tokens.insert(tokens.begin(), L"1");
    return JVMVersion(decimalToken(tokens, 1), decimalToken(tokens, 2), decimalToken(tokens, 3));
}

JVMVersion versionFromFileVersion(const std::array<std::uint16_t, 4>& words, bool madeBySun) {
    if (words[0] >= 9)
        return JVMVersion(words[0], words[1], words[2]);
    if (!madeBySun)
        return JVMVersion(words[1], words[2], words[3]);
    return words[0] == 1 ? JVMVersion(words[1], words[2] / 10, words[3])
                         : JVMVersion(words[0], words[1], words[2] / 10);
}

bool isVersionSpec(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool last = i + 1 == text.size();
        if (c >= L'0' && c <= L'9')
            continue;
        if (c == L'*')
            continue;
        if (c == L'+' && last)
            continue;
        if (c == L'.' && i != 0 && !last && text[i - 1] != L'.')
            continue;
        return false;
    }
    return true;
}

bool matchesVersionSpec(const JVMVersion& version, const std::wstring& pattern) {
    if (pattern.empty())
        return false;
    const wchar_t last = pattern.back();
    const bool suffixed = last == L'+' || last == L'*';
    const JVMVersion v = parseVersion(suffixed ? pattern.substr(0, pattern.size() - 1) : pattern);
    if (last == L'+')
        return version >= v;
    if (last == L'*') {
        if (v.micro() != 0)
            return false;
        if (v.minor() != 0)
            return version.major() == v.major() && version.minor() == v.minor();
        return version.major() == v.major();
    }
    if (v.micro() == 0)
        return version.major() == v.major() && version.minor() == v.minor();
    return version == v;
}

bool isVersionOptionPattern(const std::wstring& pattern) {
    const bool earlier = !pattern.empty() && pattern.back() == L'-';
    const std::wstring version = earlier ? pattern.substr(0, pattern.size() - 1) : pattern;
    if (version.empty() || (earlier && version.find_first_of(L"+*") != std::wstring::npos))
        return false;
    for (size_t start = 0;;) {
        const size_t end = version.find(L'_', start);
        const std::wstring piece = version.substr(start, end - start);
        if (piece.empty() || !isVersionSpec(piece))
            return false;
        if (end == std::wstring::npos)
            return true;
        if (piece.find_first_of(L"+*") != std::wstring::npos)
            return false;
        start = end + 1;
    }
}

bool matchesVersionOptionPattern(const JVMVersion& version, const std::wstring& pattern) {
    if (pattern.empty() || pattern.back() != L'-')
        return matchesVersionSpec(version, pattern);
    const JVMVersion v = parseVersion(pattern.substr(0, pattern.size() - 1));
    constexpr int kAny = JVMVersion::kLargestComponent;
    const JVMVersion bound(v.major(), v.minor() != 0 || v.micro() != 0 ? v.minor() : kAny,
                           v.micro() != 0 ? v.micro() : kAny);
    return !(version > bound);
}

} // namespace tarrow
