// The progress of a VM pack step: the state that the pipeline changes and a progress display
// reads on its own thread, the texts and bar position the display shows, and the display a
// program may install. Platform-free.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tarrow {

class PropertySet;

enum class PackPhase : std::uint8_t { Download, Checksum, Extraction };

// One moment of a pack step. Download and checksum count bytes, extraction counts archive
// entries. A total of 0 is unknown.
struct PackSnapshot {
    PackPhase phase = PackPhase::Download;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

// The state of the running pack step. The pipeline's thread alone changes the phase and the
// counts; the display's thread alone asks for the cancel, which the pipeline polls.
class PackProgress {
  public:
    // Starts a phase at 0 done.
    void begin(PackPhase phase, std::uint64_t total);
    void setTotal(std::uint64_t total) { total_.store(total, std::memory_order_relaxed); }
    void advance(std::uint64_t done) { done_.store(done, std::memory_order_relaxed); }
    PackSnapshot snapshot() const;

    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }

  private:
    std::atomic<PackPhase> phase_{PackPhase::Download};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> cancel_{false};
};

// The process's one pack step state.
PackProgress& packProgress();

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

// A window that shows a pack step while it runs; the windowed launcher installs one.
class PackDisplay {
  public:
    // Shows the display, titled after the application the settings name.
    virtual void show(const PropertySet& settings) = 0;
    // Closes it, once the step has ended.
    virtual void hide() = 0;

  protected:
    ~PackDisplay() = default;
};

// Installs the display that pack steps show; none by default, and then nothing is shown.
void installPackDisplay(PackDisplay* display);

// Shows the installed display, if any, for the life of the scope.
class PackDisplayScope {
  public:
    explicit PackDisplayScope(const PropertySet& settings);
    ~PackDisplayScope();
    PackDisplayScope(const PackDisplayScope&) = delete;
    PackDisplayScope& operator=(const PackDisplayScope&) = delete;
};

} // namespace tarrow
