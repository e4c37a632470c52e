#include "ValidListToken.h"

#include "Text.h"
#include "Tokenizer.h"

namespace tarrow {

namespace {

const wchar_t* const kKeywords[] = {L"ALL",    L"J1",     L"J2",     L"JDK",    L"JRE",
                                    L"JDK_J1", L"JDK_J2", L"JRE_J1", L"JRE_J2", L"MSJ"};

bool isKeyword(const std::wstring& token) {
    for (const wchar_t* keyword : kKeywords) {
        if (token == keyword)
            return true;
    }
    return false;
}

} // namespace

ValidListToken parseValidListToken(const std::wstring& token) {
    ValidListToken parsed;
    const std::wstring upper = toUpper(token);
    if (isKeyword(upper)) {
        parsed.keyword = upper;
        return parsed;
    }
    for (const auto& piece : tokenize(upper, L"_")) {
        if (piece == L"JRE" || piece == L"JDK" || piece == L"ALL")
            parsed.kind = piece;
        else if (isVersionSpec(piece))
            parsed.version += (parsed.version.empty() ? L"" : L"_") + piece;
        else
            parsed.validator = piece;
    }
    return parsed;
}

bool keywordAccepts(const std::wstring& keyword, VMKind kind, const JVMVersion& version) {
    const bool j1 = version.major() < 2;
    if (keyword == L"ALL")
        return true;
    if (keyword == L"J1")
        return j1 && kind != VMKind::MSJ;
    if (keyword == L"J2")
        return !j1;
    if (keyword == L"JDK")
        return kind == VMKind::JDK;
    if (keyword == L"JRE")
        return kind == VMKind::JRE;
    if (keyword == L"JDK_J1")
        return kind == VMKind::JDK && j1;
    if (keyword == L"JDK_J2")
        return kind == VMKind::JDK && !j1;
    if (keyword == L"JRE_J1")
        return kind == VMKind::JRE && j1;
    if (keyword == L"JRE_J2")
        return kind == VMKind::JRE && !j1;
    if (keyword == L"MSJ")
        return kind == VMKind::MSJ;
    return false;
}

bool tokenAcceptsKindAndVersion(const ValidListToken& token, VMKind kind,
                                const JVMVersion& version) {
    if (!token.keyword.empty())
        return keywordAccepts(token.keyword, kind, version);
    if ((token.kind == L"JRE" || token.kind == L"JDK") &&
        !keywordAccepts(token.kind, kind, version))
        return false;
    return token.version.empty() || matchesVersionSpec(version, token.version);
}

} // namespace tarrow
