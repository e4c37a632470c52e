#include "VmPackDownload.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "DownloadProgress.h"
#include "EarlyExtraction.h"
#include "StreamDigest.h"
#include "HttpResume.h"
#include "PackProgress.h"
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
constexpr DWORD kHeaderChars = 1024;
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

// A header of the answer as the server sent it; empty when absent or longer than the buffer.
std::wstring queryText(const InternetFunctions& net, HINTERNET request, DWORD what) {
    wchar_t value[kHeaderChars] = {};
    DWORD size = sizeof value - sizeof value[0]; // bytes, leaving room for the terminator
    if (!net.httpQueryInfo(request, what, value, &size, nullptr))
        return std::wstring();
    return std::wstring(value, std::min<size_t>(size / sizeof value[0], kHeaderChars - 1));
}

std::wstring countText(std::optional<std::uint64_t> count) {
    return count ? byteCountText(*count) : L"unknown";
}

// What a transfer knows about the file on the server: its size (none while unknown, read as a
// 64-bit number) and the validator that a resume must match.
struct RemoteFile {
    std::optional<std::uint64_t> size;
    std::wstring validator;

    void learn(const InternetFunctions& net, HINTERNET request) {
        size = parseByteCount(queryText(net, request, HTTP_QUERY_CONTENT_LENGTH));
        validator = resumeValidator(queryText(net, request, HTTP_QUERY_ETAG),
                                    queryText(net, request, HTTP_QUERY_LAST_MODIFIED));
    }
};

// Opens the URL, from byte `from` on when it is not 0 (a "Range" request that holds only while
// the file still matches `validator`); `status` gets the HTTP status, 0 when the request failed.
UniqueInternetHandle requestHttp(const InternetFunctions& net, HINTERNET root,
                                 const std::wstring& url, std::uint64_t from,
                                 const std::wstring& validator, DWORD& status) {
    const std::wstring headers = resumeHeaders(from, validator);
    // A call that returned a handle succeeded, whatever error code the thread still holds.
    UniqueInternetHandle request(
        net.openUrl(root, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                    headers.empty() ? 0 : static_cast<DWORD>(-1), kNoCache, 0));
    status = request ? queryNumber(net, request.get(), HTTP_QUERY_STATUS_CODE) : 0;
    return request;
}

UniqueInternetHandle openHttp(const InternetFunctions& net, HINTERNET root, const std::wstring& url,
                              const Reporter& out, RemoteFile& remote) {
    DWORD status = 0;
    UniqueInternetHandle request = requestHttp(net, root, url, 0, std::wstring(), status);
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
    remote.learn(net, request.get());
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

// The local file of a download, and the digests of what it holds. What it holds is read from the
// file itself, never counted. Nobody else may write, rename or delete it while it is open; its
// reading is shared.
class PackFile {
  public:
    PackFile(const std::wstring& path, const DownloadSettings& settings, DownloadedPack& pack)
        : pack_(pack), settings_(settings) {
        pack_.file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        startDigests();
    }
    bool opened() const { return static_cast<bool>(pack_.file); }

    // The bytes on disk; none when the size cannot be read.
    std::optional<std::uint64_t> size() const {
        LARGE_INTEGER bytes = {};
        if (!GetFileSizeEx(pack_.file.get(), &bytes))
            return std::nullopt;
        return static_cast<std::uint64_t>(bytes.QuadPart);
    }

    // Appends the request's data until it ends; false when a read or a write fails, or the
    // user cancels.
    bool copy(const InternetFunctions& net, HINTERNET request, const Reporter& out) {
        std::vector<char> buffer(kReadBytes);
        for (;;) {
            DWORD got = 0;
            if (!net.readFile(request, buffer.data(), kReadBytes, &got))
                return false;
            if (got == 0)
                return true;
            DWORD written = 0;
            if (!WriteFile(pack_.file.get(), buffer.data(), got, &written, nullptr) ||
                written != got)
                return false;
            digest(buffer.data(), got);
            if (settings_.arrival)
                settings_.arrival->arrived(onDisk_ += got);
            if (!packProgress().advance(received_ += got))
                return false;
            const std::string marks = progress_.bytesRead(got);
            if (!marks.empty())
                out.say("%s", marks.c_str());
        }
    }

    // Empties the file, for an answer that brings the whole file again.
    bool restart() {
        startDigests();
        received_ = 0;
        if (settings_.arrival)
            settings_.arrival->rewind();
        LARGE_INTEGER zero = {};
        return SetFilePointerEx(pack_.file.get(), zero, nullptr, FILE_BEGIN) &&
               SetEndOfFile(pack_.file.get());
    }

    // Digests afresh the `kept` bytes on disk that an appended answer continues, read from the
    // file once: what a broken-off copy had digested is never reused. False when they cannot be
    // read.
    bool keep(std::uint64_t kept) {
        startDigests();
        onDisk_ = kept;
        LARGE_INTEGER zero = {};
        return SetFilePointerEx(pack_.file.get(), zero, nullptr, FILE_BEGIN) &&
               Digest::addFrom(pack_.file.get(), kept, pack_.digests, 2);
    }

  private:
    void digest(const char* bytes, DWORD count) {
        for (Digest& digest : pack_.digests)
            digest.add(bytes, count);
    }

    void startDigests() {
        if (settings_.md5)
            pack_.digest(DigestKind::Md5).start(DigestKind::Md5);
        if (settings_.sha256)
            pack_.digest(DigestKind::Sha256).start(DigestKind::Sha256);
    }

    DownloadedPack& pack_; // the digests the settings ask for are started
    const DownloadSettings& settings_;
    DownloadProgress progress_;
    std::uint64_t received_ = 0; // shown by the progress display
    std::uint64_t onDisk_ = 0;   // told to the arrival
};

// Whether the file on disk is the whole file: exactly the size the server gave, or, where it
// gave none, whatever arrived when the data ended without a failure (`copied`).
bool completeAt(const PackFile& file, const RemoteFile& remote, bool copied) {
    const std::optional<std::uint64_t> size = file.size();
    return size && (remote.size ? *size == *remote.size : copied);
}

const wchar_t* actionName(ResumeAction action) {
    return action == ResumeAction::Append    ? L"appended"
           : action == ResumeAction::Replace ? L"replaces what was received"
                                             : L"restarting the transfer";
}

// Asks the server for the rest of the file and copies it; false when that does not complete it.
// The answer continues the file, replaces it whole, or else the file is fetched again from its
// start.
bool resume(const InternetFunctions& net, HINTERNET root, const std::wstring& url, PackFile& file,
            RemoteFile& remote, const Reporter& out) {
    const std::optional<std::uint64_t> received = file.size();
    if (!received)
        return false;
    DWORD status = 0;
    UniqueInternetHandle request = requestHttp(net, root, url, *received, remote.validator, status);
    if (!request) {
        trace(L"resume at byte " + countText(received) + L" got no answer");
        return false; // what was received stays for the next attempt
    }
    const ResumeAnswer answer{status, queryText(net, request.get(), HTTP_QUERY_CONTENT_RANGE),
                              queryText(net, request.get(), HTTP_QUERY_CONTENT_LENGTH),
                              queryText(net, request.get(), HTTP_QUERY_ETAG),
                              queryText(net, request.get(), HTTP_QUERY_LAST_MODIFIED)};
    const ResumePlan plan = judgeResumeAnswer(answer, *received, remote.size, remote.validator);
    trace(L"resumed at byte " + countText(received) + L": HTTP status " + decimal(status) +
          (answer.contentRange.empty() ? L"" : L", range " + answer.contentRange) + L": " +
          actionName(plan.action));
    if (plan.action == ResumeAction::Restart) {
        request = requestHttp(net, root, url, 0, std::wstring(), status);
        if (status != 200)
            return false;
    }
    if (plan.action == ResumeAction::Append) {
        remote.size = plan.total;
        if (!file.keep(*received))
            return false;
    } else {
        if (!file.restart())
            return false;
        remote.learn(net, request.get());
        if (plan.action == ResumeAction::Replace && plan.total)
            remote.size = plan.total;
    }
    packProgress().setTotal(remote.size.value_or(0));
    const bool copied = file.copy(net, request.get(), out);
    return completeAt(file, remote, copied);
}

// Copies the request's data into the destination, resuming an HTTP transfer that breaks off,
// into `pack`; false when the whole file did not arrive.
bool transfer(const InternetFunctions& net, HINTERNET root, HINTERNET request,
              const std::wstring& url, bool resumable, const std::wstring& destination,
              RemoteFile& remote, const DownloadSettings& settings, const Reporter& out,
              DownloadedPack& pack) {
    PackFile file(destination, settings, pack);
    if (!file.opened())
        return false;
    const ULONGLONG started = GetTickCount64();
    packProgress().begin(PackPhase::Download, remote.size.value_or(0));
    const bool copied = file.copy(net, request, out);
    bool complete = completeAt(file, remote, copied);
    for (int attempt = 1;
         !complete && resumable && !packProgress().cancelRequested() && attempt <= kResumeAttempts;
         ++attempt) {
        trace(L"transfer broke off after " + countText(file.size()) + L" bytes (announced " +
              countText(remote.size) + L"): resuming, attempt " + decimal(attempt) + L" of " +
              decimal(kResumeAttempts));
        Sleep(kResumePauseMs * static_cast<DWORD>(attempt));
        complete = resume(net, root, url, file, remote, out);
    }
    trace(L"received " + countText(file.size()) + L" bytes (announced " + countText(remote.size) +
          L") in " + decimal(static_cast<long long>(GetTickCount64() - started)) + L" ms");
    return complete;
}

} // namespace

DownloadedPack downloadVmPack(const std::wstring& url, const std::wstring& destination,
                              const DownloadSettings& settings) {
    const Reporter out(settings.silent); // nothing at all in silent mode
    DownloadedPack pack;
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
        return pack;
    }
    RemoteFile remote;
    UniqueInternetHandle httpRequest;
    FtpRequest ftpRequest;
    HINTERNET request = nullptr;
    if (startsWith(url, L"http")) {
        httpRequest = openHttp(*net, root.get(), url, out, remote);
        if (!httpRequest)
            return pack;
        request = httpRequest.get();
    } else if (startsWith(url, L"ftp")) {
        ftpRequest = openFtp(*net, root.get(), url, out);
        if (!ftpRequest.file)
            return pack;
        request = ftpRequest.file.get();
    }
    if (!request || !transfer(*net, root.get(), request, url, httpRequest.get() != nullptr,
                              destination, remote, settings, out, pack)) {
        out.say("\nAttempt to download VM failed");
        pack.file.reset();
        if (request)
            DeleteFileW(destination.c_str());
    }
    return pack;
}

} // namespace tarrow
