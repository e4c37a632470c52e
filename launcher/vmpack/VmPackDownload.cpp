#include "VmPackDownload.h"

#include <windows.h>

#include <vector>

#include "DownloadProgress.h"
#include "Reporter.h"
#include "RuntimeImports.h"
#include "Trace.h"
#include "Text.h"
#include "UniqueHandle.h"
#include "UrlText.h"

namespace tarrow {

namespace {

// A handle exists only where the functions were loaded.
void closeInternetHandle(HINTERNET handle) noexcept {
    internetFunctions()->closeHandle(handle);
}
using UniqueInternetHandle = UniqueAny<HINTERNET, &closeInternetHandle>;

// Data is read in large pieces (each read has a fixed cost); progress still counts 1 KiB chunks.
constexpr DWORD kReadBytes = 1024 * 1024;
constexpr DWORD kSchemeChars = 32;
constexpr DWORD kHostChars = 256;
constexpr DWORD kPathChars = 2048;

UniqueInternetHandle openHttp(const InternetFunctions& net, HINTERNET root, const std::wstring& url,
                              const Reporter& out, DWORD& announced) {
    // A call that returned a handle succeeded, whatever error code the thread still holds.
    UniqueInternetHandle request(net.openUrl(root, url.c_str(), nullptr, 0, 0, 0));
    if (!request) {
        out.say("\nError in opening internet connection with URL\n");
        out.say("\nWininet Error code: %lu\n", GetLastError());
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (request)
        net.httpQueryInfo(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr);
    trace(L"HTTP status " + decimal(status) + L" for " + url);
    if (status != 200) {
        out.say("\nCould not connect to the specified URL\n");
        out.say("HTTP Status code: %lu\n", status);
        return UniqueInternetHandle();
    }
    size = sizeof announced;
    if (!net.httpQueryInfo(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                           &announced, &size, nullptr))
        announced = 0;
    return request;
}

struct FtpRequest {
    UniqueInternetHandle connection;
    UniqueInternetHandle file;
};

FtpRequest openFtp(const InternetFunctions& net, HINTERNET root, const std::wstring& url,
                   const Reporter& out) {
    wchar_t scheme[kSchemeChars] = {}, host[kHostChars] = {}, path[kPathChars] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszScheme = scheme;
    parts.dwSchemeLength = kSchemeChars;
    parts.lpszHostName = host;
    parts.dwHostNameLength = kHostChars;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kPathChars;
    // The escapes of the path are decoded here, once, the same on every system.
    net.crackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts);
    const std::wstring remotePath = decodeUrlEscapes(path);
    FtpRequest request;
    auto failed = [&](DWORD error) {
        trace(L"FTP request for " + url + L" failed with WinINet error " + decimal(error));
        out.say("\nCould not connect to the specified URL\n");
        out.say("Wininet Error code: %lu\n", error);
        return FtpRequest();
    };
    request.connection.reset(net.connect(root, host, INTERNET_DEFAULT_FTP_PORT, L"anonymous",
                                         nullptr, INTERNET_SERVICE_FTP,
                                         INTERNET_FLAG_PASSIVE | INTERNET_FLAG_NO_CACHE_WRITE, 1));
    if (!request.connection)
        return failed(GetLastError());
    request.file.reset(net.ftpOpenFile(request.connection.get(), remotePath.c_str(), GENERIC_READ,
                                       FTP_TRANSFER_TYPE_BINARY, 1));
    if (!request.file)
        return failed(GetLastError());
    return request;
}

// Copies the request's data into the destination; false when the data stops early.
bool transfer(const InternetFunctions& net, HINTERNET request, const std::wstring& destination,
              DWORD announced, const Reporter& out) {
    UniqueHandle file(CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const ULONGLONG started = GetTickCount64();
    DownloadProgress progress;
    std::vector<char> buffer(kReadBytes);
    unsigned long long received = 0;
    for (;;) {
        DWORD got = 0;
        if (!net.readFile(request, buffer.data(), kReadBytes, &got))
            return false;
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), got, &written, nullptr) || written != got)
            return false;
        received += got;
        const std::string marks = progress.bytesRead(got);
        if (!marks.empty())
            out.say("%s", marks.c_str());
    }
    trace(L"received " + decimal(static_cast<long long>(received)) + L" bytes (announced " +
          decimal(announced) + L") in " +
          decimal(static_cast<long long>(GetTickCount64() - started)) + L" ms");
    return announced == 0 || received >= announced;
}

} // namespace

bool downloadVmPack(const std::wstring& url, const std::wstring& destination,
                    const DownloadSettings& settings) {
    const Reporter out(settings.silent); // nothing at all in silent mode
    out.say("\nDownloading VM Pack - Please Wait!!!\n");
    trace(L"downloading VM pack " + url + L" to " + destination);
    const InternetFunctions* net = internetFunctions();
    UniqueInternetHandle root(
        net ? net->open(L"InetURL/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
            : nullptr);
    const DWORD rootError = GetLastError();
    if (!root) {
        out.say("\nAttempt to connect to internet failed.");
        out.say("\nWininet Error code: %lu\n", rootError);
        return false;
    }
    DWORD announced = 0;
    UniqueInternetHandle httpRequest;
    FtpRequest ftpRequest;
    HINTERNET request = nullptr;
    if (startsWith(url, L"http")) {
        httpRequest = openHttp(*net, root.get(), url, out, announced);
        if (!httpRequest)
            return false;
        request = httpRequest.get();
    } else if (startsWith(url, L"ftp")) {
        ftpRequest = openFtp(*net, root.get(), url, out);
        if (!ftpRequest.file)
            return false;
        request = ftpRequest.file.get();
    }
    if (!request || !transfer(*net, request, destination, announced, out)) {
        out.say("\nAttempt to download VM failed");
        if (request)
            DeleteFileW(destination.c_str());
        return false;
    }
    return true;
}

} // namespace tarrow
