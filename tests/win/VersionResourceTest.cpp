// The launcher reads version resources from the files themselves; Windows' own version
// functions are the reference, on system libraries, stand-in VMs and files without a resource.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "VersionResource.h"

using namespace tarrow;
using tarrow::test::TestFolder;

namespace {

std::vector<BYTE> systemResource(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (!data.empty() &&
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()))
        data.clear();
    return data;
}

std::optional<std::array<WORD, 4>> systemVersion(std::vector<BYTE>& data) {
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        length < sizeof *info)
        return std::nullopt;
    return std::array<WORD, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                               HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::optional<std::wstring> systemString(std::vector<BYTE>& data, const std::wstring& name) {
    const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
        !text)
        return std::nullopt;
    std::wstring value(text, length);
    return value.substr(0, value.find(L'\0'));
}

std::wstring systemFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length < MAX_PATH ? length : 0) + L"\\" + name;
}

std::wstring ownProgram() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

} // namespace

TEST(VersionResource, ReadsWhatWindowsReads) {
    TestFolder folder;
    enum Carries { Yes, No, AsWindowsSays };
    const struct {
        std::wstring path;
        Carries resource;
    } files[] = {
        {systemFile(L"kernel32.dll"), AsWindowsSays},
        {systemFile(L"version.dll"), AsWindowsSays},
        {systemFile(L"notepad.exe"), AsWindowsSays},
        {ownProgram(), No}, // resources, but no version among them
        {folder.copyStandin(L"standin_sun_1_8_0_151", L"sun\\java.exe"), Yes},
        {folder.copyStandin(L"standin_ibm_1_6_0", L"ibm\\java.exe"), Yes},
        {folder.copyStandin(L"standin_plain", L"plain\\java.exe"), No},
        {folder.write(L"text\\java.exe", "MZ but no program"), No},
        {folder / L"missing.exe", No},
    };
    for (const auto& file : files) {
        std::vector<BYTE> reference = systemResource(file.path);
        const auto own = VersionResource::read(file.path);
        ASSERT_EQ(own.has_value(), !reference.empty()) << file.path;
        if (file.resource != AsWindowsSays) {
            EXPECT_EQ(own.has_value(), file.resource == Yes) << file.path;
        }
        if (!own)
            continue;
        EXPECT_EQ(own->fileVersion(), systemVersion(reference)) << file.path;
        for (const wchar_t* name :
             {L"CompanyName", L"FileDescription", L"FileVersion", L"ProductName", L"NoSuchString"})
            EXPECT_EQ(own->string(name), systemString(reference, name))
                << file.path << L" " << name;
    }
}
