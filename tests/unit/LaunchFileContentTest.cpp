#include <gtest/gtest.h>

#include "ClassPathJar.h"
#include "EnvironmentTable.h"
#include "LaunchFileContent.h"
#include "PropertiesSyntax.h"
#include "Text.h"
#include "VmCommandLine.h"

using namespace tarrow;

namespace {

// An information file as this version writes it: console lines, the environment, the VM.
std::string currentInfoFile() {
    std::string bytes;
    for (const wchar_t* line :
         {L"kiv.control-key=true", L"kiv.stderr.redirect=console", L"kiv.stdout.redirect=console"})
        appendInfoFileLine(bytes, line);
    const wchar_t block[] = L"=C:=C:\\x\0Path=C:\\Windows;C:\\J\u00fcrgen\0TOKEN=a=b c\0\0";
    bytes += environmentExportText(EnvironmentTable::fromBlock(block),
                                   [](const std::wstring& value) { return value; });
    appendInfoFileLine(bytes, L"kiv.nl.current.vm=" + escapeForProperties(L"C:\\J\\java.exe"));
    return bytes;
}

std::string classPathJar() {
    return jarWithManifest(classPathManifest({"file:/C:/App%20Folder/a.jar", "file:/C:/c/"}));
}

} // namespace

TEST(LaunchFileContent, OwnFilesAreKnownByTheirBytes) {
    const std::string jar = classPathJar();
    std::string damagedJar = jar;
    damagedJar[60] ^= 1; // the manifest no longer matches its checksum
    const struct {
        const char* what;
        std::string content;
        LaunchFileKind kind;
    } cases[] = {
        {"this version's information file", currentInfoFile(), LaunchFileKind::VmInformation},
        {"an earlier version's",
         "kiv.nl.env.path=C:\\\\x\r\nkiv.nl.env.PATH=C:\\\\x\r\n"
         "kiv.nl.current.vm=C:\\\\j\\\\bin\\\\java.exe\r\n",
         LaunchFileKind::VmInformation},
        {"a launch killed before the VM line", "kiv.nl.env.a=1\r\n", LaunchFileKind::VmInformation},
        {"another key", "kiv.nl.env.a=1\r\nkiv.class.path=lib\\\\a.jar\r\n",
         LaunchFileKind::Foreign},
        {"a key that only starts alike", "kiv.nl.environment=1\r\n", LaunchFileKind::Foreign},
        {"an environment line without a value", "kiv.nl.env.a\r\n", LaunchFileKind::Foreign},
        {"a line cut short", "kiv.nl.env.a=1\r\nkiv.nl.current.vm=C:", LaunchFileKind::Foreign},
        {"line feeds alone", "kiv.nl.env.a=1\nkiv.nl.current.vm=x\n", LaunchFileKind::Foreign},
        {"a byte above ASCII", "kiv.nl.env.a=J\xfcrgen\r\n", LaunchFileKind::Foreign},
        {"empty", "", LaunchFileKind::Foreign},
        {"text of another program", "kivi notes\r\n", LaunchFileKind::Foreign},
        {"an argument file", narrowLatin1(javaArgumentFileText(L"C:\\a b\\x.jar;C:\\q\"t\\;")),
         LaunchFileKind::ArgumentFile},
        {"an argument file cut short", "-classpath \"C:\\\\a.jar;", LaunchFileKind::Foreign},
        {"an unescaped quote", "-classpath \"C:\\\\a\"b\"\r\n", LaunchFileKind::Foreign},
        {"a backslash escaping the closing quote", "-classpath \"C:\\\"\r\n",
         LaunchFileKind::Foreign},
        {"a second line", "-classpath \"a\"\r\n-Dx=1\r\n", LaunchFileKind::Foreign},
        {"a class-path jar", jar, LaunchFileKind::ClassPathJar},
        {"a jar with another manifest",
         jarWithManifest("Manifest-Version: 1.0\r\nMain-Class: a.B\r\n\r\n"),
         LaunchFileKind::Foreign},
        {"a damaged class-path jar", damagedJar, LaunchFileKind::Foreign},
        {"a class-path jar cut short", jar.substr(0, jar.size() - 1), LaunchFileKind::Foreign},
        {"a class-path jar with more after it", jar + "x", LaunchFileKind::Foreign},
        {"a local header alone", jar.substr(0, 52), LaunchFileKind::Foreign},
    };
    for (const auto& c : cases)
        EXPECT_EQ(launchFileKind(c.content), c.kind) << c.what;
}
