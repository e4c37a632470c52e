// Digests of a file, through the platform's cryptographic service.
#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <string>

#include "UniqueHandle.h"

namespace tarrow {

enum class DigestKind { Md5, Sha256 };

void releaseCryptContext(HCRYPTPROV context) noexcept;
using UniqueCryptContext = UniqueAny<HCRYPTPROV, &releaseCryptContext>;
using UniqueCryptHash = UniqueAny<HCRYPTHASH, &::CryptDestroyHash>;

// A digest computed piece by piece, as the bytes come. A failure of the service (a message on
// standard output says which call) fails the digest for good: its text is then empty.
class Digest {
  public:
    explicit Digest(DigestKind kind);

    // Adds the next `count` bytes.
    void add(const void* bytes, DWORD count);

    // Adds the next `count` bytes read from `file` at its position; a read that fails or ends
    // early fails the digest.
    void addFrom(HANDLE file, std::uint64_t count);

    // Lower-case hexadecimal digits (32 for MD5, 64 for SHA-256) of every byte added; empty when
    // the digest failed.
    std::wstring text();

  private:
    void fail(const char* call);

    UniqueCryptContext context_;
    UniqueCryptHash hash_;
};

// The digest of the whole file at `path`, as Digest::text(); empty when the file cannot be
// opened or read (a message on standard output says why). Prints one line break when it was
// computed.
std::wstring fileDigest(const std::wstring& path, DigestKind kind);

// The MD5 digest: fileDigest(path, DigestKind::Md5).
std::wstring fileMd5(const std::wstring& path);

} // namespace tarrow
