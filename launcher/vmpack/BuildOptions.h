// The build options of a packaged application, read from "jvmspecs.properties". Platform-free.
#pragma once

#include <string>

#include "PropertySet.h"

namespace tarrow {

struct BuildOptions {
    std::wstring option;            // "withvm" or "withoutvm"
    bool jvmSpecApplicable = false; // "true" exactly
    long jvmSpecCount = 0;
    long withVmSearchOption = 20;
    long withoutVmSearchOption = 10;
    std::wstring notFoundUrl;
    bool notFoundChecksumApplicable = false;
    std::wstring notFoundChecksum;
    std::wstring directUrl;
    bool directChecksumApplicable = false;
    std::wstring directChecksum;

    static BuildOptions read(const PropertySet& vmSpecSettings);
    // The search through VM specification files applies: "true" and at least one entry.
    bool specSearch() const { return jvmSpecApplicable && jvmSpecCount >= 1; }
};

// Lower-case hexadecimal text of a digest, two digits per byte.
std::wstring hexDigest(const unsigned char* bytes, size_t count);

} // namespace tarrow
