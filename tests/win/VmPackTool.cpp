// Test driver for the VM pack layer:
//   vmpack_tool extract PACK TARGET   exit 0 when extractVmPack succeeds, else 1
//   vmpack_tool md5 FILE              prints what fileMd5 prints, then "digest=<text>"
//   vmpack_tool sha256 FILE           the same with the SHA-256 digest
//   vmpack_tool download URL FILE     exit 0 when downloadVmPack succeeds (silent), else 1
#include <windows.h>

#include <cstdio>
#include <string>

#include "FileChecksum.h"
#include "VmPackDownload.h"
#include "VmPackExtraction.h"

int wmain(int argc, wchar_t** argv) {
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
        return tarrow::downloadVmPack(argv[2], argv[3], settings) ? 0 : 1;
    }
    return 2;
}
