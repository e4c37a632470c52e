#include "ClassPathJar.h"

#include <array>
#include <cstdint>

#include "Text.h"

namespace tarrow {

namespace {

constexpr size_t kManifestLineBytes = 72;

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool keptInUrl(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

std::uint32_t crc32(const std::string& data) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields a local and a central ZIP header share, from "version needed" on.
void commonFields(std::string& out, std::uint32_t crc, std::uint32_t size,
                  const std::string& name) {
    put16(out, 10);   // version needed: stored data
    put16(out, 0);    // flags
    put16(out, 0);    // method: stored
    put16(out, 0);    // time 00:00:00
    put16(out, 0x21); // date 1980-01-01
    put32(out, crc);
    put32(out, size); // compressed size
    put32(out, size); // uncompressed size
    put16(out, static_cast<std::uint32_t>(name.size()));
    put16(out, 0); // extra field length
}

} // namespace

std::optional<std::string> classPathUrl(const std::wstring& entry, bool isFolder) {
    if (entry.size() < 3 || !isDriveLetter(entry[0]) || entry[1] != L':' ||
        (entry[2] != L'\\' && entry[2] != L'/'))
        return std::nullopt;
    std::wstring path = entry;
    for (auto& c : path) {
        if (c == L'\\')
            c = L'/';
    }
    // Text that does not come back unchanged from UTF-8 (an unpaired surrogate) has no URL.
    const std::string bytes = toUtf8(path.substr(2));
    if (fromUtf8(bytes) != path.substr(2))
        return std::nullopt;
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file:/";
    url += static_cast<char>(entry[0]);
    url += ':';
    for (unsigned char c : bytes) {
        if (keptInUrl(c)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    if (isFolder && url.back() != '/')
        url += '/';
    return url;
}

std::string classPathManifest(const std::vector<std::string>& urls) {
    std::string attribute = "Class-Path:";
    for (const auto& url : urls)
        attribute += " " + url;
    std::string text = "Manifest-Version: 1.0\r\n";
    size_t at = 0;
    size_t room = kManifestLineBytes;
    while (at < attribute.size()) {
        text += attribute.substr(at, room) + "\r\n";
        at += room;
        if (at < attribute.size()) {
            text += ' ';
            room = kManifestLineBytes - 1;
        }
    }
    return text + "\r\n";
}

std::string jarWithManifest(const std::string& manifest) {
    const std::string name = "META-INF/MANIFEST.MF";
    const std::uint32_t crc = crc32(manifest);
    const auto size = static_cast<std::uint32_t>(manifest.size());
    std::string jar;
    put32(jar, 0x04034B50);
    commonFields(jar, crc, size, name);
    jar += name + manifest;
    const auto directoryStart = static_cast<std::uint32_t>(jar.size());
    put32(jar, 0x02014B50);
    put16(jar, 20); // made by: MS-DOS, version 2.0
    commonFields(jar, crc, size, name);
    put16(jar, 0); // comment length
    put16(jar, 0); // disk number
    put16(jar, 0); // internal attributes
    put32(jar, 0); // external attributes
    put32(jar, 0); // offset of the local header
    jar += name;
    const auto directorySize = static_cast<std::uint32_t>(jar.size()) - directoryStart;
    put32(jar, 0x06054B50);
    put16(jar, 0); // this disk
    put16(jar, 0); // disk of the directory
    put16(jar, 1); // entries on this disk
    put16(jar, 1); // entries
    put32(jar, directorySize);
    put32(jar, directoryStart);
    put16(jar, 0); // comment length
    return jar;
}

} // namespace tarrow
