#include "FileChecksum.h"

#include <algorithm>
#include <vector>

#include "DigestText.h"
#include "Reporter.h"

namespace tarrow {

namespace {

// Large reads: each read has a fixed cost, and the digest does not depend on the piece size.
constexpr DWORD kReadBytes = 1024 * 1024;
constexpr DWORD kLargestDigestBytes = 32;

// Hashing failures are shown whatever the silent setting says.
const Reporter out = Reporter::always();

} // namespace

void releaseCryptContext(HCRYPTPROV context) noexcept {
    CryptReleaseContext(context, 0);
}

Digest::Digest(DigestKind kind) {
    // SHA-256 needs the AES provider; MD5 is in every one.
    const DWORD provider = kind == DigestKind::Sha256 ? PROV_RSA_AES : PROV_RSA_FULL;
    if (!CryptAcquireContextW(context_.put(), nullptr, nullptr, provider, CRYPT_VERIFYCONTEXT)) {
        fail("CryptAcquireContext");
        return;
    }
    const ALG_ID algorithm = kind == DigestKind::Sha256 ? CALG_SHA_256 : CALG_MD5;
    if (!CryptCreateHash(context_.get(), algorithm, 0, 0, hash_.put()))
        fail("CryptAcquireContext");
}

void Digest::fail(const char* call) {
    out.say("%s failed: %lu\n", call, GetLastError());
    hash_.reset();
}

void Digest::add(const void* bytes, DWORD count) {
    if (hash_ && !CryptHashData(hash_.get(), static_cast<const BYTE*>(bytes), count, 0))
        fail("CryptHashData");
}

void Digest::addFrom(HANDLE file, std::uint64_t count) {
    std::vector<BYTE> buffer(kReadBytes);
    while (hash_ && count > 0) {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(count, kReadBytes));
        if (!ReadFile(file, buffer.data(), wanted, &got, nullptr) || got == 0) {
            fail("ReadFile");
            return;
        }
        add(buffer.data(), got);
        count -= got;
    }
}

std::wstring Digest::text() {
    BYTE digest[kLargestDigestBytes];
    DWORD size = kLargestDigestBytes;
    if (!hash_)
        return std::wstring();
    if (!CryptGetHashParam(hash_.get(), HP_HASHVAL, digest, &size, 0)) {
        fail("CryptGetHashParam");
        return std::wstring();
    }
    return hexDigest(digest, size);
}

std::wstring fileDigest(const std::wstring& path, DigestKind kind) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        out.say("Error opening file %ls\nError: %lu\n", path.c_str(), GetLastError());
        return std::wstring();
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) {
        out.say("ReadFile failed: %lu\n", GetLastError());
        return std::wstring();
    }
    Digest digest(kind);
    digest.addFrom(file.get(), static_cast<std::uint64_t>(size.QuadPart));
    std::wstring text = digest.text();
    if (!text.empty())
        out.say("\n");
    return text;
}

std::wstring fileMd5(const std::wstring& path) {
    return fileDigest(path, DigestKind::Md5);
}

} // namespace tarrow
