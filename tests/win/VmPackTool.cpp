// Test driver for the VM pack layer (tracing as the launcher does when KIV_TRACE is set):
//   vmpack_tool extract PACK TARGET   exit 0 when extractVmPack succeeds, else 1
//   vmpack_tool md5 FILE              prints what fileMd5 prints, then "digest=<text>"
//   vmpack_tool sha256 FILE           the same with the SHA-256 digest
//   vmpack_tool download URL FILE     exit 0 when downloadVmPack succeeds (silent), else 1
//   vmpack_tool held URL FILE TARGET  downloads with both digests and, while the pack is held,
//                                     prints "md5=", "sha256=", "writable=", "deletable=" (1 when
//                                     another handle could write or delete the file) and
//                                     extracts into TARGET: exit 0 when extracted, 1 when not
//   vmpack_tool cached URL            exit 0 when the user's Internet cache holds URL, else 1
//   vmpack_tool fetch URL             reads URL with WinINet's default flags (which cache it)
#include <windows.h>

#include <wininet.h>

#include <cstdio>
#include <string>

#include "FileChecksum.h"
#include "Trace.h"
#include "VmPackDownload.h"
#include "VmPackExtraction.h"

int wmain(int argc, wchar_t** argv) {
    tarrow::startTrace(false); // KIV_TRACE as for the launcher
    if (argc == 4 && std::wstring(argv[1]) == L"extract")
        return tarrow::extractVmPack(argv[2], argv[3]) ? 0 : 1;
    if (argc == 3 && (std::wstring(argv[1]) == L"md5" || std::wstring(argv[1]) == L"sha256")) {
        const auto kind =
            std::wstring(argv[1]) == L"md5" ? tarrow::DigestKind::Md5 : tarrow::DigestKind::Sha256;
        const std::wstring digest = tarrow::fileDigest(argv[2], kind);
        std::printf("digest=%ls\n", digest.c_str());
        return 0;
    }
    if (argc == 4 && std::wstring(argv[1]) == L"download") {
        tarrow::DownloadSettings settings;
        settings.silent = true;
        return tarrow::downloadVmPack(argv[2], argv[3], settings).file ? 0 : 1;
    }
    if (argc == 5 && std::wstring(argv[1]) == L"held") {
        tarrow::DownloadSettings settings;
        settings.silent = settings.md5 = settings.sha256 = true;
        tarrow::DownloadedPack pack = tarrow::downloadVmPack(argv[2], argv[3], settings);
        if (!pack.file)
            return 1;
        tarrow::UniqueHandle writer(CreateFileW(
            argv[3], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const bool deletable = DeleteFileW(argv[3]) != FALSE;
        std::printf("md5=%ls\nsha256=%ls\nwritable=%d\ndeletable=%d\n",
                    pack.digest(tarrow::DigestKind::Md5).text().c_str(),
                    pack.digest(tarrow::DigestKind::Sha256).text().c_str(), writer ? 1 : 0,
                    deletable ? 1 : 0);
        return tarrow::extractVmPack(argv[3], argv[4]) ? 0 : 1;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"fetch") {
        HINTERNET root = InternetOpenW(L"fetch", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        HINTERNET request = root ? InternetOpenUrlW(root, argv[2], nullptr, 0, 0, 0) : nullptr;
        char buffer[65536];
        DWORD got = 0;
        while (request && InternetReadFile(request, buffer, sizeof buffer, &got) && got > 0) {
        }
        const bool read = request != nullptr;
        if (request)
            InternetCloseHandle(request);
        if (root)
            InternetCloseHandle(root);
        return read ? 0 : 1;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"cached") {
        DWORD size = 0;
        if (GetUrlCacheEntryInfoW(argv[2], nullptr, &size))
            return 0;
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? 0 : 1;
    }
    return 2;
}
