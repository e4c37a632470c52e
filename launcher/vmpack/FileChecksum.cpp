#include "FileChecksum.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <vector>

#include "DigestText.h"
#include "PackProgress.h"
#include "Reporter.h"
#include "UniqueHandle.h"

namespace tarrow {

namespace {

void releaseCryptContext(HCRYPTPROV context) noexcept {
    CryptReleaseContext(context, 0);
}
using UniqueCryptContext = UniqueAny<HCRYPTPROV, &releaseCryptContext>;
using UniqueCryptHash = UniqueAny<HCRYPTHASH, &::CryptDestroyHash>;

// Large reads: each read has a fixed cost, and the digest does not depend on the piece size.
constexpr DWORD kReadBytes = 1024 * 1024;
constexpr DWORD kLargestDigestBytes = 32;

// Hashing failures are shown whatever the silent setting says.
const Reporter out = Reporter::always();

} // namespace

std::wstring fileDigest(const std::wstring& path, DigestKind kind) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        out.say("Error opening file %ls\nError: %lu\n", path.c_str(), GetLastError());
        return std::wstring();
    }
    UniqueCryptContext context;
    // SHA-256 needs the AES provider; MD5 is in every one.
    const DWORD provider = kind == DigestKind::Sha256 ? PROV_RSA_AES : PROV_RSA_FULL;
    if (!CryptAcquireContextW(context.put(), nullptr, nullptr, provider, CRYPT_VERIFYCONTEXT)) {
        out.say("CryptAcquireContext failed: %lu\n", GetLastError());
        return std::wstring();
    }
    UniqueCryptHash hash;
    const ALG_ID algorithm = kind == DigestKind::Sha256 ? CALG_SHA_256 : CALG_MD5;
    if (!CryptCreateHash(context.get(), algorithm, 0, 0, hash.put())) {
        out.say("CryptAcquireContext failed: %lu\n", GetLastError());
        return std::wstring();
    }
    std::vector<BYTE> buffer(kReadBytes);
    for (std::uint64_t hashed = 0;;) {
        if (!packProgress().advance(hashed))
            return std::wstring(); // the user cancelled: nothing to say
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data(), kReadBytes, &got, nullptr)) {
            out.say("ReadFile failed: %lu\n", GetLastError());
            return std::wstring();
        }
        if (got == 0)
            break;
        if (!CryptHashData(hash.get(), buffer.data(), got, 0)) {
            out.say("CryptHashData failed: %lu\n", GetLastError());
            return std::wstring();
        }
        hashed += got;
    }
    BYTE digest[kLargestDigestBytes];
    DWORD size = kLargestDigestBytes;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0)) {
        out.say("CryptGetHashParam failed: %lu\n", GetLastError());
        return std::wstring();
    }
    out.say("\n");
    return hexDigest(digest, size);
}

std::wstring fileMd5(const std::wstring& path) {
    return fileDigest(path, DigestKind::Md5);
}

} // namespace tarrow
