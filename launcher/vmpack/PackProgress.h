// The progress of a VM pack step: the state that the pipeline changes and a progress display
// reads on its own thread, and the display a program may install. Platform-free.
#pragma once

#include <atomic>
#include <cstdint>

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
// Relaxed order throughout: each value stands on its own, and the display only shows them.
class PackProgress {
  public:
    // The pipeline's side. Starts a phase at 0 done.
    void begin(PackPhase phase, std::uint64_t total) {
        done_.store(0, std::memory_order_relaxed);
        total_.store(total, std::memory_order_relaxed);
        phase_.store(phase, std::memory_order_relaxed);
    }
    // Starts a phase over the amount that the phase before reached (a check of the pack that
    // was just downloaded).
    void next(PackPhase phase) { begin(phase, done_.load(std::memory_order_relaxed)); }
    void setTotal(std::uint64_t total) { total_.store(total, std::memory_order_relaxed); }
    // Records the amount done; false when the user asked to cancel, and the phase should end.
    bool advance(std::uint64_t done) {
        done_.store(done, std::memory_order_relaxed);
        return !cancelRequested();
    }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }

    // The display's side.
    PackSnapshot snapshot() const {
        return PackSnapshot{phase_.load(std::memory_order_relaxed),
                            done_.load(std::memory_order_relaxed),
                            total_.load(std::memory_order_relaxed)};
    }
    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }

  private:
    std::atomic<PackPhase> phase_{PackPhase::Download};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> cancel_{false};
};

// The process's one pack step state.
PackProgress& packProgress();

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
