// A digest computed piece by piece through the platform's cryptographic service, as the bytes
// come.
#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "UniqueHandle.h"

namespace tarrow {

enum class DigestKind { Md5, Sha256 };

void releaseCryptContext(HCRYPTPROV context) noexcept;
using UniqueCryptContext = UniqueAny<HCRYPTPROV, &releaseCryptContext>;
using UniqueCryptHash = UniqueAny<HCRYPTHASH, &::CryptDestroyHash>;

// A failure of the service (a message on standard output says which call) fails the digest
// until it starts again: its text is then empty. One that never started takes no bytes and has
// no text either.
class Digest {
  public:
    // Starts afresh, forgetting every byte added before.
    void start(DigestKind kind);

    // Adds the next `count` bytes.
    void add(const void* bytes, DWORD count);

    // Lower-case hexadecimal digits (32 for MD5, 64 for SHA-256) of every byte added; empty when
    // the digest failed or never started.
    std::wstring text();

    // Adds the next `count` bytes read from `file` at its position to each of the `many`
    // digests, reading them once; false, with every digest failed, when a read fails or the file
    // ends before.
    static bool addFrom(HANDLE file, std::uint64_t count, Digest* digests, size_t many);

  private:
    void fail(const char* call);

    UniqueCryptContext context_;
    UniqueCryptHash hash_;
};

} // namespace tarrow
