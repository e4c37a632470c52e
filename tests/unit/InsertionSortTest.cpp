#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "InsertionSort.h"

using namespace tarrow;

namespace {

// Keys with many ties, each tagged with its original place, so a lost order shows.
std::vector<std::pair<int, int>> tagged(const std::vector<int>& keys) {
    std::vector<std::pair<int, int>> items;
    for (size_t i = 0; i < keys.size(); ++i)
        items.emplace_back(keys[i], static_cast<int>(i));
    return items;
}

bool byKey(const std::pair<int, int>& a, const std::pair<int, int>& b) {
    return a.first < b.first;
}

} // namespace

TEST(InsertionSort, OrdersLikeTheStandardStableSort) {
    const std::vector<std::vector<int>> cases = {
        {}, {7}, {3, 3, 3}, {5, 4, 3, 2, 1}, {1, 2, 3, 4, 5}, {2, 1, 2, 1, 0, 2, 0, 1, 1, 2, 0, 0},
    };
    for (const auto& keys : cases) {
        auto sorted = tagged(keys);
        auto expected = sorted;
        insertionSort(sorted.begin(), sorted.end(), byKey);
        std::stable_sort(expected.begin(), expected.end(), byKey);
        EXPECT_EQ(sorted, expected) << "for " << keys.size() << " keys";
    }
}

TEST(InsertionSort, MovesOwnersWithoutLosingAny) {
    std::vector<std::unique_ptr<int>> owners;
    for (int key : {4, 1, 3, 1, 2})
        owners.push_back(std::make_unique<int>(key));
    const int* firstOne = owners[1].get();
    insertionSort(owners.begin(), owners.end(),
                  [](const auto& a, const auto& b) { return *a < *b; });
    std::vector<int> keys;
    for (const auto& owner : owners)
        keys.push_back(*owner);
    EXPECT_EQ(keys, (std::vector<int>{1, 1, 2, 3, 4}));
    EXPECT_EQ(owners[0].get(), firstOne);
}
