// The build options of a packaged application, read from "jvmspecs.properties". Platform-free.
#pragma once

#include <string>
#include <vector>

#include "PropertySet.h"

namespace tarrow {

// "build.with.vm.search.option": search first and fall back to the shipped VM, or take the
// shipped VM only.
constexpr long kSearchThenShippedVm = 20;
constexpr long kShippedVmOnly = 21;
// "build.without.vm.search.option": search only, search and download when nothing is found,
// or download without searching.
constexpr long kSearchOnly = 10;
constexpr long kSearchThenDownload = 11;
constexpr long kDownloadOnly = 12;

struct BuildOptions {
    std::wstring option;            // "withvm" or "withoutvm"
    bool jvmSpecApplicable = false; // "true" exactly
    long jvmSpecCount = 0;
    // "build.jvmspec.0" ... "build.jvmspec.<count - 1>": the VM specification files.
    std::vector<std::wstring> jvmSpecFiles;
    long withVmSearchOption = kSearchThenShippedVm;
    long withoutVmSearchOption = kSearchOnly;
    std::wstring notFoundUrl;
    bool notFoundChecksumApplicable = false;
    std::wstring notFoundChecksum;
    std::wstring notFoundSha256; // checked whenever it is not empty
    std::wstring directUrl;
    bool directChecksumApplicable = false;
    std::wstring directChecksum;
    std::wstring directSha256;

    static BuildOptions read(const PropertySet& vmSpecSettings);
    // The search through VM specification files applies: "true" and at least one entry.
    bool specSearch() const { return jvmSpecApplicable && jvmSpecCount >= 1; }
};

} // namespace tarrow
