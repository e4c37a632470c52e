// The search for installed Java VMs: the VM named on the command line or recorded for the
// application, else the registered and PATH VMs that the valid VM list accepts, best first.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "JVM.h"
#include "LaunchContext.h"

namespace tarrow {

class PropertySet;

// A J2VM for a program path, described by the probe, with a copy of `options`.
std::unique_ptr<JVM> describeVM(const std::wstring& program, const JavaOptions& options);

// Whether one token of the valid VM list accepts the VM; a validator word in the token runs
// the application's validator in the VM first.
bool acceptsToken(JVM& vm, const std::wstring& token);

// The platform setting (bitness accepted and preferred).
long long launcherPlatform(const PropertySet& settings);

// The search of one launch. The registered and PATH candidates are gathered on first use and
// kept by the search for its life, so that a launch that searches twice probes them once.
class InstalledVmSearch {
  public:
    explicit InstalledVmSearch(const LaunchContext& launch);
    ~InstalledVmSearch();
    InstalledVmSearch(const InstalledVmSearch&) = delete;
    InstalledVmSearch& operator=(const InstalledVmSearch&) = delete;

    // The shortcut ("KIV_VM" argument, then "kiv.nl.current.vm"), then the listed search.
    std::unique_ptr<JVM> find(const JavaOptions& options);

    // The listed search alone: every candidate the list and the platform accept; the
    // preferred bitness with the highest version wins. Null when none is accepted.
    std::unique_ptr<JVM> findListed(const JavaOptions& options);

  private:
    std::vector<std::unique_ptr<JVM>>& candidates(long long platform);

    const LaunchContext& launch_;
    std::optional<std::vector<std::unique_ptr<JVM>>> candidates_;
};

} // namespace tarrow
