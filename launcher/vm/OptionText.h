// Readers for the text forms of VM option settings. Platform-free.
#pragma once

#include <cstdint>
#include <string>

namespace tarrow {

// "true", "on" or "t" in any capitalisation.
bool optionFlag(const std::wstring& value);

// A byte count: a decimal number read like wcstol (leading blanks and a sign allowed, reading
// stops at the first non-digit), times 1024 for a "k" suffix, 1048576 for "m" and 1073741824
// for "g". Sizes beyond the 64-bit range saturate.
std::int64_t readSize(const std::wstring& value);

// The share of physical memory that a heap size written "N%" asks for: N when it is a whole
// number from 1 to 100; 0 for any other text, which reads as a size.
int readHeapShare(const std::wstring& value);

// `share` percent of `physicalBytes` in whole megabytes, rounded down but at least 1; at most
// 1,024 for a 32-bit VM, which often cannot reserve more as one block. 0 (no size) when the
// memory is unknown (0).
std::int64_t heapShareMegabytes(int share, std::uint64_t physicalBytes, bool vm32Bit);

// A decimal integer read like wcstol, limited to the 32-bit range.
std::int32_t readInteger(const std::wstring& value);

struct Verbosity {
    bool verbose = false;
    std::wstring detail;  // "gc" or "class"
    std::wstring warning; // text for standard error when the value was not understood
};

// Empty: off. "normal"/"all": on. "gc"/"class": on with that detail. "none": off. Anything
// else: off, with a warning naming the lower-cased value.
Verbosity readVerbosity(const std::wstring& value);

} // namespace tarrow
