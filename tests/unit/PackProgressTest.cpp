#include <gtest/gtest.h>

#include <stdexcept>

#include "PackProgress.h"
#include "PackView.h"
#include "PropertySet.h"

using namespace tarrow;

namespace {

constexpr std::uint64_t MB = 1024 * 1024;
constexpr std::uint64_t GB = 1024 * MB;

} // namespace

TEST(PackProgressText, ByteCounts) {
    const struct {
        std::uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 bytes"},
        {1023, L"1023 bytes"},
        {1024, L"1.0 KB"},
        {1536, L"1.5 KB"},
        {MB - 1, L"1.0 MB"}, // rounds up into the next unit, never "1024.0 KB"
        {12 * MB + 3 * MB / 10, L"12.3 MB"},
        {143 * MB, L"143.0 MB"},
        {5000000000ULL, L"4.7 GB"}, // beyond 32 bits
        {std::uint64_t{1} << 60, L"1048576.0 TB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(packByteText(c.bytes), c.text) << c.bytes;
}

TEST(PackProgressText, Durations) {
    const struct {
        std::uint64_t seconds;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 s"},           {59, L"59 s"},          {60, L"1 min 0 s"},
        {125, L"2 min 5 s"},   {3599, L"59 min 59 s"}, {3600, L"1 h 0 min"},
        {4800, L"1 h 20 min"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(packDurationText(c.seconds), c.text) << c.seconds;
}

TEST(PackRateMeter, DownloadViews) {
    using P = PackPhase;
    // Each case: two samples of one meter; the view of the second.
    const struct {
        const char* what;
        PackSnapshot first;
        PackSnapshot second;
        std::uint64_t elapsedMs;
        const wchar_t* amount;
        const wchar_t* rate;
        const wchar_t* timeLeft;
        int bar;
    } cases[] = {
        {"no time has passed",
         {P::Download, 0, 143 * MB},
         {P::Download, 0, 143 * MB},
         0,
         L"0 bytes of 143.0 MB",
         L"",
         L"",
         0},
        {"known size",
         {P::Download, 0, 100 * MB},
         {P::Download, 20 * MB, 100 * MB},
         4000,
         L"20.0 MB of 100.0 MB",
         L"5.0 MB/s",
         L"16 s left",
         200},
        {"unknown size",
         {P::Download, 0, 0},
         {P::Download, 12 * MB, 0},
         3000,
         L"12.0 MB",
         L"4.0 MB/s",
         L"",
         -1},
        {"nothing arrives",
         {P::Download, 0, 100 * MB},
         {P::Download, 0, 100 * MB},
         5000,
         L"0 bytes of 100.0 MB",
         L"0 bytes/s",
         L"",
         0},
        // Only what arrives now counts, not what was there when the meter started.
        {"resumed at an offset",
         {P::Download, 100 * MB, 200 * MB},
         {P::Download, 150 * MB, 200 * MB},
         10000,
         L"150.0 MB of 200.0 MB",
         L"5.0 MB/s",
         L"10 s left",
         750},
        {"above 4 GB",
         {P::Download, 0, 6 * GB},
         {P::Download, 3 * GB, 6 * GB},
         1000,
         L"3.0 GB of 6.0 GB",
         L"3.0 GB/s",
         L"1 s left",
         500},
        {"more than announced",
         {P::Download, 0, 10 * MB},
         {P::Download, 11 * MB, 10 * MB},
         1000,
         L"11.0 MB of 10.0 MB",
         L"11.0 MB/s",
         L"0 s left",
         kPackBarRange},
        // A transfer that starts again counts from there.
        {"started again",
         {P::Download, 50 * MB, 100 * MB},
         {P::Download, 10 * MB, 100 * MB},
         1000,
         L"10.0 MB of 100.0 MB",
         L"",
         L"",
         100},
        // The checksum after a download is timed on its own.
        {"next phase",
         {P::Download, 100 * MB, 100 * MB},
         {P::Checksum, 1 * MB, 100 * MB},
         1000,
         L"1.0 MB of 100.0 MB",
         L"",
         L"",
         10},
    };
    for (const auto& c : cases) {
        PackRateMeter meter;
        meter.sample(c.first, 5000);
        const PackView view = meter.sample(c.second, 5000 + c.elapsedMs);
        EXPECT_EQ(view.amount, c.amount) << c.what;
        EXPECT_EQ(view.rate, c.rate) << c.what;
        EXPECT_EQ(view.timeLeft, c.timeLeft) << c.what;
        EXPECT_EQ(view.bar, c.bar) << c.what;
    }
}

TEST(PackRateMeter, PhasesNameTheirWorkAndExtractionCountsFiles) {
    PackRateMeter meter;
    EXPECT_EQ(meter.sample({PackPhase::Download, 0, 0}, 0).status, L"Downloading VM Pack");
    EXPECT_EQ(meter.sample({PackPhase::Checksum, 0, 0}, 0).status, L"Verifying the downloaded JVM");
    meter.sample({PackPhase::Extraction, 0, 340}, 0);
    const PackView view = meter.sample({PackPhase::Extraction, 12, 340}, 1000);
    EXPECT_EQ(view.status, L"Extracting VM Pack");
    EXPECT_EQ(view.amount, L"12 of 340 files");
    EXPECT_EQ(view.rate, L"");
    EXPECT_EQ(view.bar, 35);
}

TEST(PackProgressState, APhaseStartsAtNothingDoneAndACancelStays) {
    PackProgress progress;
    progress.begin(PackPhase::Download, 10);
    progress.advance(7);
    progress.begin(PackPhase::Checksum, 20);
    const PackSnapshot now = progress.snapshot();
    EXPECT_EQ(now.phase, PackPhase::Checksum);
    EXPECT_EQ(now.done, 0u);
    EXPECT_EQ(now.total, 20u);
    EXPECT_FALSE(progress.cancelRequested());
    progress.requestCancel();
    progress.begin(PackPhase::Extraction, 3);
    EXPECT_TRUE(progress.cancelRequested());
}

namespace {

struct CountingDisplay : PackDisplay {
    int shown = 0, hidden = 0;
    void show(const PropertySet&) override { ++shown; }
    void hide() override { ++hidden; }
};

} // namespace

TEST(PackDisplayScope, ShowsTheInstalledDisplayUntilTheStepEndsEvenByAnException) {
    const PropertySet settings;
    { const PackDisplayScope none(settings); } // nothing installed: nothing to call
    CountingDisplay display;
    installPackDisplay(&display);
    {
        const PackDisplayScope scope(settings);
        EXPECT_EQ(display.shown, 1);
        EXPECT_EQ(display.hidden, 0);
    }
    EXPECT_THROW(
        {
            const PackDisplayScope scope(settings);
            throw std::runtime_error("step failed");
        },
        std::runtime_error);
    installPackDisplay(nullptr);
    EXPECT_EQ(display.shown, 2);
    EXPECT_EQ(display.hidden, 2);
}
