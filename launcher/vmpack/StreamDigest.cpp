#include "StreamDigest.h"

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

void Digest::start(DigestKind kind) {
    hash_.reset();
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

bool Digest::addFrom(HANDLE file, std::uint64_t count, Digest* digests, size_t many) {
    std::vector<BYTE> buffer(kReadBytes);
    while (count > 0) {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(count, kReadBytes));
        if (!ReadFile(file, buffer.data(), wanted, &got, nullptr) || got == 0) {
            for (size_t i = 0; i < many; ++i)
                if (digests[i].hash_)
                    digests[i].fail("ReadFile");
            return false;
        }
        for (size_t i = 0; i < many; ++i)
            digests[i].add(buffer.data(), got);
        count -= got;
    }
    return true;
}

} // namespace tarrow
