#include "PropertiesFile.h"

#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "PropertiesSyntax.h"
#include "StringTable.h"
#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {

bool found(const std::wstring& candidate) {
    const bool there = exists(candidate);
    trace(L"properties file candidate " + candidate + (there ? L": found" : L": missing"));
    return there;
}

} // namespace

std::wstring locatePropertiesFile(const std::wstring& programPath, bool orCurrentFolder) {
    const std::wstring program = replaceAll(programPath, L"/", L"\\");
    if (extension(program) == L"exe") {
        const std::wstring beside = program.substr(0, program.rfind(L'.')) + L".kiv";
        if (found(beside))
            return beside;
    }
    const std::wstring appended = program + L".kiv";
    if (found(appended))
        return appended;
    const std::wstring inCurrent = currentDirectory() + L"\\" + baseName(program) + L".kiv";
    if (orCurrentFolder && found(inCurrent))
        return inCurrent;
    throw TerminalError(getString(kPropertiesMissing));
}

std::wstring vmSpecPropertiesPath(const std::wstring& programPath) {
    const std::wstring program = replaceAll(programPath, L"/", L"\\");
    if (extension(program) != L"exe")
        return std::wstring();
    return parent(program, L".") + L"\\jvmspecs\\jvmspecs.properties";
}

void readProperties(const std::wstring& path, PropertySet& properties) {
    UniqueStdioFile stream = openForRead(path);
    parseProperties(readAll(stream.get()), properties);
}

} // namespace tarrow
