#include "MoreVmSearch.h"

#include <windows.h>

#include <string>

#include "Environment.h"
#include "Errors.h"
#include "FileSystem.h"
#include "PathString.h"
#include "Registry.h"
#include "Trace.h"
#include "VmCandidate.h"

namespace tarrow {

namespace {

const wchar_t* const kVendorKeys[] = {
    L"SOFTWARE\\Eclipse Adoptium\\JDK",
    L"SOFTWARE\\Eclipse Adoptium\\JRE",
    L"SOFTWARE\\Eclipse Foundation\\JDK",
    L"SOFTWARE\\AdoptOpenJDK\\JDK",
    L"SOFTWARE\\AdoptOpenJDK\\JRE",
    L"SOFTWARE\\Semeru\\JDK",
    L"SOFTWARE\\Semeru\\JRE",
    L"SOFTWARE\\IBM\\Semeru Runtime",
    L"SOFTWARE\\Microsoft\\JDK",
    L"SOFTWARE\\Azul Systems\\Zulu",
    L"SOFTWARE\\BellSoft\\Liberica",
    L"SOFTWARE\\Amazon Corretto",
};

// Per-user installs register under these keys of HKEY_CURRENT_USER only: the machine's are
// scanned by the installed-VM search itself.
const wchar_t* const kUserJavaSoftKeys[] = {
    L"SOFTWARE\\JavaSoft\\JDK",
    L"SOFTWARE\\JavaSoft\\JRE",
    L"SOFTWARE\\JavaSoft\\Java Development Kit",
    L"SOFTWARE\\JavaSoft\\Java Runtime Environment",
};

const wchar_t* const kHomeValueNames[] = {L"Path", L"InstallationPath", L"JavaHome"};
constexpr int kLevels = 3;

// One registry key to scan: its root and view, and how the trace names the root.
struct Scan {
    HKEY root;
    const wchar_t* rootName;
    RegistryView view;
};

class MoreVms {
  public:
    explicit MoreVms(bool sees64Bit) : sees64Bit_(sees64Bit) {}

    // One installation folder: a candidate when it holds bin\java.exe.
    void addFolder(const std::wstring& written, const std::wstring& origin) {
        const std::wstring folder = homeFolder(written);
        const std::wstring program = joinPath(folder, L"bin\\java.exe");
        if (folder.empty() || !exists(program) || isDirectory(program)) {
            trace(L"folder " + folder + L" from " + origin + L": no bin\\java.exe, skipped");
            return;
        }
        found_.push_back(probedVm(program, sees64Bit_));
        trace(L"candidate " + found_.back()->summary() + L" from " + origin);
    }

    void scanKey(const Scan& scan, const wchar_t* path) {
        try {
            RegistryKey key(scan.root, path, KEY_READ | scan.view.flag);
            scanSubkeys(scan, key, kLevels);
        } catch (const RegistryException&) {
            // Not installed: nothing to scan.
        }
    }

    std::vector<std::unique_ptr<JVM>> take() { return std::move(found_); }

  private:
    // The home values of `key`'s subkeys, `levels` levels down.
    void scanSubkeys(const Scan& scan, const RegistryKey& key, int levels) {
        std::vector<std::wstring> names;
        try {
            names = key.subkeyNames();
        } catch (const RegistryException&) {
            return;
        }
        for (const auto& name : names) {
            try {
                RegistryKey subkey(key, name, KEY_READ | scan.view.flag);
                readHome(scan, subkey);
                if (levels > 1)
                    scanSubkeys(scan, subkey, levels - 1);
            } catch (const RegistryException&) {
                // A subkey that cannot be opened is passed over.
            }
        }
    }

    // The first home value the subkey holds, in the order of kHomeValueNames.
    void readHome(const Scan& scan, const RegistryKey& subkey) {
        for (const wchar_t* valueName : kHomeValueNames) {
            std::wstring folder;
            try {
                folder = subkey.readString(valueName);
            } catch (const RegistryException&) {
                continue;
            }
            addFolder(folder, L"registry key " + std::wstring(scan.rootName) + L"\\" +
                                  subkey.path() + L" value " + valueName + L" (" + scan.view.name +
                                  L")");
            return;
        }
    }

    bool sees64Bit_;
    std::vector<std::unique_ptr<JVM>> found_;
};

} // namespace

std::vector<std::unique_ptr<JVM>> findMoreVms(bool sees64Bit) {
    std::vector<Scan> machine;
    for (const RegistryView& view : machineRegistryViews(sees64Bit))
        machine.push_back({HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", view});
    const Scan user = {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", userRegistryView(sees64Bit)};
    MoreVms more(sees64Bit);
    for (const wchar_t* path : kVendorKeys) {
        for (const auto& scan : machine)
            more.scanKey(scan, path);
        more.scanKey(user, path);
    }
    for (const wchar_t* path : kUserJavaSoftKeys)
        more.scanKey(user, path);
    const std::wstring javaHome = getVariable(L"JAVA_HOME");
    if (!javaHome.empty()) {
        if (isDirectory(javaHome))
            more.addFolder(javaHome, L"JAVA_HOME");
        else
            trace(L"JAVA_HOME " + javaHome + L" names no folder, skipped");
    }
    return more.take();
}

} // namespace tarrow
