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
// A pack always comes from the server, and no copy of it is left in the user's Internet cache
// (a pack is tens of megabytes, and writing the copy slows the download down).
constexpr DWORD kNoCache = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// A transfer that breaks off is resumed from where it stopped, this many times, after a pause
// that grows with each attempt.
constexpr int kResumeAttempts = 3;
constexpr DWORD kResumePauseMs = 250;

DWORD queryNumber(const InternetFunctions& net, HINTERNET request, DWORD what) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!net.httpQueryInfo(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        return 0;
    return value;
}

// Opens the URL, from byte `from` on when it is not 0 (a "Range" request); `status` gets the
// HTTP status, 0 when the request failed.
UniqueInternetHandle requestHttp(const InternetFunctions& net, HINTERNET root,
                                 const std::wstring& url, unsigned long long from, DWORD& status) {
    const std::wstring range =
        from ? L"Range: bytes=" + decimal(static_cast<long long>(from)) + L"-\r\n" : L"";
    // A call that returned a handle succeeded, whatever error code the thread still holds.
    UniqueInternetHandle request(net.openUrl(root, url.c_str(), from ? range.c_str() : nullptr,
                                             from ? static_cast<DWORD>(-1) : 0, kNoCache, 0));
    status = request ? queryNumber(net, request.get(), HTTP_QUERY_STATUS_CODE) : 0;
    return request;
}

UniqueInternetHandle openHttp(const InternetFunctions& net, HINTERNET root, const std::wstring& url,
                              const Reporter& out, DWORD& announced) {
    DWORD status = 0;
    UniqueInternetHandle request = requestHttp(net, root, url, 0, status);
    if (!request) {
        out.say("\nError in opening internet connection with URL\n");
        out.say("\nWininet Error code: %lu\n", GetLastError());
    }
    trace(L"HTTP status " + decimal(status) + L" for " + url);
    if (status != 200) {
        out.say("\nCould not connect to the specified URL\n");
        out.say("HTTP Status code: %lu\n", status);
        return UniqueInternetHandle();
    }
    announced = queryNumber(net, request.get(), HTTP_QUERY_CONTENT_LENGTH);
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
                                         INTERNET_FLAG_PASSIVE | kNoCache, 1));
    if (!request.connection)
        return failed(GetLastError());
    request.file.reset(net.ftpOpenFile(request.connection.get(), remotePath.c_str(), GENERIC_READ,
                                       FTP_TRANSFER_TYPE_BINARY | kNoCache, 1));
    if (!request.file)
        return failed(GetLastError());
    return request;
}

// The local file of a download and what it holds so far.
class PackFile {
  public:
    explicit PackFile(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool opened() const { return static_cast<bool>(file_); }
    unsigned long long received() const { return received_; }

    // Appends the request's data until it ends; false when a read or a write fails.
    bool copy(const InternetFunctions& net, HINTERNET request, const Reporter& out) {
        std::vector<char> buffer(kReadBytes);
        for (;;) {
            DWORD got = 0;
            if (!net.readFile(request, buffer.data(), kReadBytes, &got))
                return false;
            if (got == 0)
                return true;
            DWORD written = 0;
            if (!WriteFile(file_.get(), buffer.data(), got, &written, nullptr) || written != got)
                return false;
            received_ += got;
            const std::string marks = progress_.bytesRead(got);
            if (!marks.empty())
                out.say("%s", marks.c_str());
        }
    }

    // Empties the file, for a server that sends the whole file again.
    bool restart() {
        received_ = 0;
        return SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN) == 0 &&
               SetEndOfFile(file_.get());
    }

  private:
    UniqueHandle file_;
    unsigned long long received_ = 0;
    DownloadProgress progress_;
};

bool completeAt(const PackFile& file, DWORD announced) {
    return announced == 0 || file.received() >= announced;
}

// Asks the server for the rest of the file and copies it; false when that does not complete it.
bool resume(const InternetFunctions& net, HINTERNET root, const std::wstring& url, PackFile& file,
            DWORD& announced, const Reporter& out) {
    DWORD status = 0;
    UniqueInternetHandle request = requestHttp(net, root, url, file.received(), status);
    trace(L"resumed at byte " + decimal(static_cast<long long>(file.received())) +
          L": HTTP status " + decimal(status));
    if (status == 200) {
        // The server ignored the range: the file starts again from its beginning.
        if (!file.restart())
            return false;
        announced = queryNumber(net, request.get(), HTTP_QUERY_CONTENT_LENGTH);
    } else if (status != 206) {
        return false;
    }
    return file.copy(net, request.get(), out) && completeAt(file, announced);
}

// Copies the request's data into the destination, resuming an HTTP transfer that breaks off;
// false when the whole file did not arrive.
bool transfer(const InternetFunctions& net, HINTERNET root, HINTERNET request,
              const std::wstring& url, bool resumable, const std::wstring& destination,
              DWORD announced, const Reporter& out) {
    PackFile file(destination);
    if (!file.opened())
        return false;
    const ULONGLONG started = GetTickCount64();
    bool complete = file.copy(net, request, out) && completeAt(file, announced);
    for (int attempt = 1; !complete && resumable && attempt <= kResumeAttempts; ++attempt) {
        trace(L"transfer broke off after " + decimal(static_cast<long long>(file.received())) +
              L" bytes (announced " + decimal(announced) + L"): resuming, attempt " +
              decimal(attempt) + L" of " + decimal(kResumeAttempts));
        Sleep(kResumePauseMs * static_cast<DWORD>(attempt));
        complete = resume(net, root, url, file, announced, out);
    }
    trace(L"received " + decimal(static_cast<long long>(file.received())) + L" bytes (announced " +
          decimal(announced) + L") in " +
          decimal(static_cast<long long>(GetTickCount64() - started)) + L" ms");
    return complete;
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
    if (!request || !transfer(*net, root.get(), request, url, httpRequest.get() != nullptr,
                              destination, announced, out)) {
        out.say("\nAttempt to download VM failed");
        if (request)
            DeleteFileW(destination.c_str());
        return false;
    }
    return true;
}

} // namespace tarrow
