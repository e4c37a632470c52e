#include "LaunchFileContent.h"

#include <cstdint>

#include "ClassPathJar.h"

namespace tarrow {

namespace {

bool startsWith(const std::string& text, const std::string& prefix, size_t at = 0) {
    return text.compare(at, prefix.size(), prefix) == 0;
}

bool isInfoLine(const std::string& content, size_t start, size_t end) {
    for (size_t i = start; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(content[i]);
        if (byte == 0 || byte >= 0x80 || byte == '\r' || byte == '\n')
            return false;
    }
    static const char* const keys[] = {
        "kiv.control-key=", "kiv.stderr.redirect=", "kiv.stdout.redirect=", "kiv.nl.current.vm="};
    for (const char* key : keys) {
        if (startsWith(content, key, start))
            return true;
    }
    const std::string env = "kiv.nl.env.";
    return startsWith(content, env, start) && content.find('=', start + env.size()) < end;
}

bool isVmInformation(const std::string& content) {
    size_t start = 0;
    while (start < content.size()) {
        const size_t end = content.find("\r\n", start);
        if (end == std::string::npos || !isInfoLine(content, start, end))
            return false;
        start = end + 2;
    }
    return !content.empty();
}

bool isArgumentFile(const std::string& content) {
    const std::string head = "-classpath \"";
    const std::string tail = "\"\r\n";
    if (content.size() < head.size() + tail.size() || !startsWith(content, head) ||
        content.compare(content.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const size_t end = content.size() - tail.size();
    for (size_t i = head.size(); i < end; ++i) {
        const char c = content[i];
        if (c == '\\')
            ++i; // the escaped character, whatever it is
        else if (c == '"' || c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    // A final backslash would escape the closing quote.
    size_t backslashes = 0;
    for (size_t i = end; i > head.size() && content[i - 1] == '\\'; --i)
        ++backslashes;
    return backslashes % 2 == 0;
}

bool isClassPathJar(const std::string& content) {
    constexpr size_t kSizeField = 18;
    constexpr size_t kData = 30 + 20; // local header and "META-INF/MANIFEST.MF"
    if (content.size() < kData || !startsWith(content, "PK\x03\x04"))
        return false;
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = (size << 8) | static_cast<unsigned char>(content[kSizeField + i]);
    if (size > content.size() - kData)
        return false;
    const std::string manifest = content.substr(kData, size);
    return startsWith(manifest, "Manifest-Version: 1.0\r\nClass-Path:") &&
           jarWithManifest(manifest) == content;
}

} // namespace

LaunchFileKind launchFileKind(const std::string& content) {
    if (isVmInformation(content))
        return LaunchFileKind::VmInformation;
    if (isArgumentFile(content))
        return LaunchFileKind::ArgumentFile;
    if (isClassPathJar(content))
        return LaunchFileKind::ClassPathJar;
    if (parseOwnerRecord(content))
        return LaunchFileKind::OwnerRecord;
    return LaunchFileKind::Foreign;
}

bool sweepsLaunchFile(std::uint64_t age, OwnerState owner) {
    return owner != OwnerState::Running && age > kLaunchFileLifetime;
}

} // namespace tarrow
