// What a progress display shows of a VM pack step: the texts and the bar position of each
// moment, with the rate and the time left measured over the moments it samples. Platform-free.
#pragma once

#include <cstdint>
#include <string>

#include "PackProgress.h"

namespace tarrow {

// What a display shows of one moment.
struct PackView {
    std::wstring status;   // "Downloading VM Pack"
    std::wstring amount;   // "12.3 MB of 143.0 MB", "12.3 MB", "12 of 340 files"
    std::wstring rate;     // "4.1 MB/s"; empty before any time has passed and for files
    std::wstring timeLeft; // "35 s left"; empty while the total or the rate is unknown
    int bar = -1;          // 0 to kPackBarRange; -1 while the total is unknown
};
constexpr int kPackBarRange = 1000;

// The rate and time left over the moments a display samples: counted from the first moment of
// a phase, so that a download that resumes at an offset counts only what arrives now. A new
// phase, or fewer done than before (a download that starts again), counts from there anew.
class PackRateMeter {
  public:
    PackView sample(const PackSnapshot& now, std::uint64_t nowMs);

  private:
    bool started_ = false;
    PackSnapshot last_;
    std::uint64_t fromDone_ = 0;
    std::uint64_t fromMs_ = 0;
};

// "512 bytes", "1.5 KB", "12.3 MB", "4.6 GB": one decimal from KB on, units of 1024.
std::wstring packByteText(std::uint64_t bytes);
// "35 s", "2 min 5 s", "1 h 20 min".
std::wstring packDurationText(std::uint64_t seconds);

} // namespace tarrow
