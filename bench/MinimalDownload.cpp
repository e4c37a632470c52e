// The least a WinINet download can do, for the pack benchmark: open the URL without the
// Internet cache, read 1 MB blocks, write them to the file.
//   MinimalDownload URL FILE   exit 0 when the whole body was written
#include <windows.h>

#include <wininet.h>

#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    HINTERNET root = InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET request =
        root ? InternetOpenUrlW(root, argv[1], nullptr, 0,
                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
             : nullptr;
    HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = request && file != INVALID_HANDLE_VALUE;
    std::vector<char> buffer(1024 * 1024);
    DWORD got = 0, written = 0;
    while (ok && (ok = InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        &got)) &&
           got > 0)
        ok = WriteFile(file, buffer.data(), got, &written, nullptr) && written == got;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (request)
        InternetCloseHandle(request);
    if (root)
        InternetCloseHandle(root);
    return ok ? 0 : 1;
}
