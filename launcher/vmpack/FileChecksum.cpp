#include "FileChecksum.h"

#include "Reporter.h"

namespace tarrow {

namespace {

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
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) {
        out.say("ReadFile failed: %lu\n", GetLastError());
        return std::wstring();
    }
    Digest digest;
    digest.start(kind);
    Digest::addFrom(file.get(), static_cast<std::uint64_t>(size.QuadPart), &digest, 1);
    std::wstring text = digest.text();
    if (!text.empty())
        out.say("\n");
    return text;
}

std::wstring fileMd5(const std::wstring& path) {
    return fileDigest(path, DigestKind::Md5);
}

} // namespace tarrow
