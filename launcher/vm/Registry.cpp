#include "Registry.h"

#include "Errors.h"
#include "Platform.h"
#include "SystemMessage.h"
#include "Text.h"

namespace tarrow {

namespace {

constexpr DWORD kValueBufferBytes = 512;
constexpr DWORD kSubkeyNameChars = 256;
constexpr REGSAM kQueryAndEnumerate = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

} // namespace

RegistryKey::RegistryKey(const std::wstring& path, REGSAM access) : path_(path) {
    open(HKEY_LOCAL_MACHINE, path, access);
}

RegistryKey::RegistryKey(HKEY root, const std::wstring& path, REGSAM access) : path_(path) {
    open(root, path, access);
}

RegistryKey::RegistryKey(const RegistryKey& parent, const std::wstring& subpath, REGSAM access)
    : path_(parent.path_ + L"\\" + subpath) {
    if (!parent.isOpen())
        throw KeyException(L"key not open", L"");
    open(parent.handle_.get(), subpath, access);
}

void RegistryKey::open(HKEY root, const std::wstring& subpath, REGSAM access) {
    handle_.reset();
    if (RegOpenKeyExW(root, subpath.c_str(), 0, access, handle_.put()) == ERROR_SUCCESS)
        return;
    // Retry with the least access the callers need, keeping the registry view they chose.
    const REGSAM view = access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (RegOpenKeyExW(root, subpath.c_str(), 0, kQueryAndEnumerate | view, handle_.put()) ==
        ERROR_SUCCESS)
        return;
    UniqueRegistryKey connected;
    LONG status = RegConnectRegistryW(nullptr, root, connected.put());
    if (status == ERROR_SUCCESS) {
        status = RegOpenKeyExW(connected.get(), subpath.c_str(), 0, access, handle_.put());
        if (status == ERROR_SUCCESS)
            return;
    }
    handle_.reset();
    throw KeyException(systemMessage(static_cast<DWORD>(status)), path_);
}

std::wstring RegistryKey::readString(const std::wstring& valueName) const {
    if (!isOpen())
        throw KeyException(L"key not open", L"");
    BYTE data[kValueBufferBytes + sizeof(wchar_t)] = {};
    DWORD size = kValueBufferBytes;
    DWORD type = 0;
    if (RegQueryValueExW(handle_.get(), valueName.c_str(), nullptr, &type, data, &size) !=
        ERROR_SUCCESS)
        throw KeyException(L"key query failed", path_);
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        throw KeyException(L"value not a string", path_);
    const auto* text = reinterpret_cast<const wchar_t*>(data);
    const size_t units = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && text[length] != L'\0')
        ++length;
    return std::wstring(text, length);
}

std::vector<std::wstring> RegistryKey::subkeyNames() const {
    if (!isOpen())
        throw KeyException(L"key not open", L"");
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kSubkeyNameChars];
        DWORD length = kSubkeyNameChars;
        const LONG status =
            RegEnumKeyExW(handle_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            continue;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<RegistryView> machineRegistryViews(bool sees64Bit) {
    std::vector<RegistryView> views = {{kOwnRegistryView, L"own view"}};
    if (sees64Bit)
        views.push_back({kRegistryView64, L"64-bit view"});
    return views;
}

RegistryView userRegistryView(bool sees64Bit) {
    return sees64Bit ? RegistryView{kRegistryView64, L"per user, shared by both views"}
                     : RegistryView{kOwnRegistryView, L"per user"};
}

HKEY parseRegistryRoot(const std::wstring& fullPath) {
    static const struct {
        const wchar_t* prefix;
        HKEY root;
    } roots[] = {
        {L"\\HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"\\HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"\\HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"\\HKEY_USERS", HKEY_USERS},
        {L"\\HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {L"\\HKEY_PERFORMANCE_TEXT", HKEY_PERFORMANCE_TEXT},
        {L"\\HKEY_PERFORMANCE_NLSTEXT", HKEY_PERFORMANCE_NLSTEXT},
        {L"\\HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {L"\\HKEY_DYN_DATA", HKEY_DYN_DATA},
    };
    for (const auto& entry : roots) {
        if (startsWith(fullPath, entry.prefix))
            return entry.root;
    }
    return nullptr;
}

} // namespace tarrow
