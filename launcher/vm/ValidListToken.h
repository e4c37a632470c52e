// One token of the valid VM list and the tests it stands for. Platform-free: the validator run
// that a token may ask for is made by the caller.
#pragma once

#include <string>

#include "JVMVersion.h"
#include "VMKind.h"

namespace tarrow {

// A token taken apart: a keyword ("ALL", "J1", "JRE_J2", ...) or a compound of kind, version
// pattern and validator word.
struct ValidListToken {
    std::wstring keyword;   // set for the fixed keywords; the other fields are then empty
    std::wstring kind;      // "JRE", "JDK", "ALL" or empty
    std::wstring version;   // version pattern or empty
    std::wstring validator; // validator word or empty
};

// Upper-cases the token, then recognises a keyword or splits a compound at "_": "JRE", "JDK"
// and "ALL" fill the kind (the last one stays), version patterns fill the version (a second
// one is appended after "_", so 1.8.0_45 stays whole), anything else is the validator word.
ValidListToken parseValidListToken(const std::wstring& token);

// Whether a fixed keyword accepts a VM of this kind and version.
bool keywordAccepts(const std::wstring& keyword, VMKind kind, const JVMVersion& version);

// The kind and version tests of a parsed token (without its validator run).
bool tokenAcceptsKindAndVersion(const ValidListToken& token, VMKind kind,
                                const JVMVersion& version);

} // namespace tarrow
