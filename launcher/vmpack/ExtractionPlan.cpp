#include "ExtractionPlan.h"

#include <algorithm>
#include <set>

#include "Text.h"

namespace tarrow {

void keepLastOfEachName(std::vector<PlannedEntry>& entries) {
    std::set<std::wstring> later;
    std::vector<PlannedEntry> kept;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        if (entry->folder || later.insert(toLower(entry->name)).second)
            kept.push_back(std::move(*entry));
    std::reverse(kept.begin(), kept.end());
    entries = std::move(kept);
}

std::vector<std::wstring> foldersToMake(const std::vector<PlannedEntry>& entries) {
    std::set<std::wstring> folders;
    for (const PlannedEntry& entry : entries) {
        const size_t last = entry.name.rfind(L'\\');
        std::wstring folder =
            entry.folder ? entry.name : entry.name.substr(0, last == std::wstring::npos ? 0 : last);
        while (!folder.empty() && folder.back() == L'\\')
            folder.pop_back();
        for (size_t at = folder.find(L'\\'); at != std::wstring::npos;
             at = folder.find(L'\\', at + 1))
            folders.insert(folder.substr(0, at));
        if (!folder.empty())
            folders.insert(folder);
    }
    // "a" sorts before "a\b" and every other name starting with it: parents come first.
    return {folders.begin(), folders.end()};
}

std::vector<PlannedEntry> filesLargestFirst(const std::vector<PlannedEntry>& entries) {
    std::vector<PlannedEntry> files;
    for (const PlannedEntry& entry : entries)
        if (!entry.folder)
            files.push_back(entry);
    std::stable_sort(files.begin(), files.end(), [](const PlannedEntry& a, const PlannedEntry& b) {
        return a.compressedSize > b.compressedSize;
    });
    return files;
}

bool EntryQueue::take(size_t& slot) {
    if (claimed_.load())
        return false;
    slot = next_.fetch_add(1);
    return slot < count_;
}

void EntryQueue::fail(std::int32_t index, int result, std::exception_ptr raised) {
    if (claimed_.exchange(true))
        return;
    failedIndex_ = index;
    failedResult_ = result;
    raised_ = raised;
}

void EntryQueue::rethrow() const {
    if (raised_)
        std::rethrow_exception(raised_);
}

} // namespace tarrow
