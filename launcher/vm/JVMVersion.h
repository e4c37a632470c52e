// JVMVersion: a Java version of three whole components, and version patterns. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarrow {

// Major, minor and micro, each kept whole up to kLargestComponent; the leading "1." of classic
// versions is dropped (1.8.0_45 is 8.0.45). Zero means unknown.
class JVMVersion {
  public:
    static constexpr int kLargestComponent = 65535;

    JVMVersion() = default;
    // A component below 0 reads as 0, one above kLargestComponent as kLargestComponent, and the
    // version then remembers that it was saturated.
    JVMVersion(long major, long minor, long micro) { set(major, minor, micro); }

    int major() const { return static_cast<int>(value_ >> 32); }
    int minor() const { return static_cast<int>(value_ >> 16) & kLargestComponent; }
    int micro() const { return static_cast<int>(value_) & kLargestComponent; }
    void setMinor(long minor);
    // All three components, major in the highest bits: ordering compares this.
    std::uint64_t value() const { return value_; }
    // True when a component was larger than kLargestComponent.
    bool saturated() const { return saturated_; }

    bool operator<(const JVMVersion& o) const { return value_ < o.value_; }
    bool operator>(const JVMVersion& o) const { return value_ > o.value_; }
    bool operator>=(const JVMVersion& o) const { return value_ >= o.value_; }
    bool operator==(const JVMVersion& o) const { return value_ == o.value_; }
    bool operator!=(const JVMVersion& o) const { return value_ != o.value_; }

  private:
    void set(long major, long minor, long micro);
    std::uint64_t value_ = 0;
    bool saturated_ = false;
};

// "major.minor.micro", followed by a note when a component was saturated.
std::wstring versionText(const JVMVersion& version);

// Tokens split at "." and "_"; a first token other than "1" gets a "1" put in front, so that
// 11.0.2 reads like 1.11.0.2; then major, minor and micro are tokens 2, 3 and 4.
JVMVersion parseVersion(const std::wstring& text);

// The Java version a VM program's fixed file version (four words, most significant first)
// stands for. Programs of Java 9 and later write feature, interim, update and patch, whoever
// made them (17.0.5.0 is 17.0.5). Older ones made by Sun write 1.x.y0.b or x.y.z0.b (the update
// times ten: 8.0.1510.12 is 8.0.151); those made by anyone else write 1.x.y.z.
JVMVersion versionFromFileVersion(const std::array<std::uint16_t, 4>& words, bool madeBySun);

// Digits, "*", inner single dots, and a "+" at the end only. The empty text passes.
bool isVersionSpec(const std::wstring& text);

// "1.8+" accepts 8 and later, "1.8*" any version with major 8, "1.8" any 8.0.x, "1.8.0_45"
// exactly 8.0.45.
bool matchesVersionSpec(const JVMVersion& version, const std::wstring& pattern);

// A pattern of the version-dependent VM options: a version pattern as the valid VM list takes
// it (pieces of isVersionSpec joined by "_", "+" or "*" only at the end, as in "9+", "1.8*",
// "1.8.0_45"), or a version without "+" and "*" followed by "-". Not empty.
bool isVersionOptionPattern(const std::wstring& pattern);

// matchesVersionSpec, and for a pattern ending in "-" that version and every earlier one: the
// components written as 0 bound nothing, so "13-" accepts every version with major 13 or
// lower, "1.8.0_45-" 8.0.45 and earlier.
bool matchesVersionOptionPattern(const JVMVersion& version, const std::wstring& pattern);

} // namespace tarrow
