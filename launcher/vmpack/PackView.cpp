#include "PackView.h"

#include <algorithm>

#include "Text.h"

namespace tarrow {

namespace {

const wchar_t* phaseText(PackPhase phase) {
    switch (phase) {
    case PackPhase::Download:
        return L"Downloading VM Pack";
    case PackPhase::Checksum:
        return L"Verifying the downloaded JVM";
    default:
        return L"Extracting VM Pack";
    }
}

// "N of TOTAL UNIT" or "N UNIT", where the texts of the counts come from `text`.
template <typename Text>
std::wstring amountText(const PackSnapshot& now, Text text, const wchar_t* unit) {
    return text(now.done) + (now.total ? L" of " + text(now.total) : std::wstring()) + unit;
}

std::wstring countText(std::uint64_t count) {
    return decimal(static_cast<long long>(count));
}

} // namespace

PackView PackRateMeter::sample(const PackSnapshot& now, std::uint64_t nowMs) {
    if (!started_ || now.phase != last_.phase || now.done < last_.done) {
        started_ = true;
        fromDone_ = now.done;
        fromMs_ = nowMs;
    }
    last_ = now;
    PackView view;
    view.status = phaseText(now.phase);
    const std::uint64_t done = now.total ? std::min(now.done, now.total) : now.done;
    if (now.total)
        view.bar = static_cast<int>(done * kPackBarRange / now.total);
    if (now.phase == PackPhase::Extraction) {
        view.amount = amountText(now, countText, L" files");
        return view;
    }
    view.amount = amountText(now, packByteText, L"");
    const std::uint64_t elapsedMs = nowMs > fromMs_ ? nowMs - fromMs_ : 0;
    if (elapsedMs == 0)
        return view;
    const std::uint64_t rate = (now.done - fromDone_) * 1000 / elapsedMs;
    view.rate = packByteText(rate) + L"/s";
    if (now.total && rate > 0)
        view.timeLeft = packDurationText((now.total - done + rate - 1) / rate) + L" left";
    return view;
}

std::wstring packByteText(std::uint64_t bytes) {
    if (bytes < 1024)
        return countText(bytes) + L" bytes";
    static const wchar_t* const units[] = {L" KB", L" MB", L" GB", L" TB"};
    std::uint64_t unit = 1024;
    size_t index = 0;
    std::uint64_t tenths = (bytes * 10 + unit / 2) / unit;
    for (; tenths >= 10240 && index + 1 < std::size(units); ++index) {
        unit *= 1024;
        tenths = (bytes * 10 + unit / 2) / unit;
    }
    return countText(tenths / 10) + L"." + countText(tenths % 10) + units[index];
}

std::wstring packDurationText(std::uint64_t seconds) {
    if (seconds < 60)
        return countText(seconds) + L" s";
    if (seconds < 3600)
        return countText(seconds / 60) + L" min " + countText(seconds % 60) + L" s";
    return countText(seconds / 3600) + L" h " + countText(seconds % 3600 / 60) + L" min";
}

} // namespace tarrow
