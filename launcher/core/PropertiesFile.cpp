#include "PropertiesFile.h"

#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "PropertiesSyntax.h"
#include "StringTable.h"
#include "Text.h"

namespace tarrow {

std::wstring locatePropertiesFile(const std::wstring& programPath) {
    const std::wstring program = replaceAll(programPath, L"/", L"\\");
    if (extension(program) == L"exe") {
        const std::wstring beside = program.substr(0, program.rfind(L'.')) + L".kiv";
        if (exists(beside))
            return beside;
    }
    const std::wstring appended = program + L".kiv";
    if (exists(appended))
        return appended;
    const std::wstring inCurrent = currentDirectory() + L"\\" + baseName(program) + L".kiv";
    if (exists(inCurrent))
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
