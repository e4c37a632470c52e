#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "EntryQueue.h"

using namespace tarrow;

TEST(EntryQueue, EverySlotGoesOutOnceAcrossThreads) {
    constexpr std::size_t kSlots = 5000;
    EntryQueue queue(kSlots);
    std::vector<std::vector<std::size_t>> taken(4);
    std::vector<std::thread> threads;
    for (auto& mine : taken)
        threads.emplace_back([&queue, &mine] {
            for (std::size_t slot; queue.take(slot);)
                mine.push_back(slot);
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<int> seen(kSlots, 0);
    for (const auto& mine : taken)
        for (std::size_t slot : mine)
            ++seen[slot];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(kSlots));
    EXPECT_FALSE(queue.failed());
}

TEST(EntryQueue, TheFirstFailureOfManyThreadsStopsTheHandingOutAndIsKept) {
    EntryQueue queue(100000);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread)
        threads.emplace_back([&queue, thread] {
            for (std::size_t slot; queue.take(slot);)
                if (slot % 1000 == 999)
                    queue.fail(static_cast<std::int32_t>(slot),
                               thread == 2 ? EntryQueue::kRaised : thread + 1);
        });
    for (auto& thread : threads)
        thread.join();
    std::size_t slot = 0;
    EXPECT_FALSE(queue.take(slot));
    ASSERT_TRUE(queue.failed());
    // One failure whole: the slot and the result of the thread that reported it.
    EXPECT_EQ(queue.failedIndex() % 1000, 999);
    EXPECT_TRUE(queue.failedResult() == EntryQueue::kRaised ||
                (queue.failedResult() >= 1 && queue.failedResult() <= 4));
    EXPECT_EQ(queue.raised(), queue.failedResult() == EntryQueue::kRaised);
}
