// A stable sort for the launcher's short lists. Platform-free.
#pragma once

#include <utility>

namespace tarrow {

// Sorts [first, last) so that `less` holds between no element and one before it; elements
// that compare equal keep their order. Quadratic: meant for lists of tens or a few hundred
// items (candidate VMs, environment variables), where it is far smaller than std::stable_sort.
template <typename Iterator, typename Less>
void insertionSort(Iterator first, Iterator last, Less less) {
    for (Iterator next = first; next != last; ++next) {
        auto value = std::move(*next);
        Iterator hole = next;
        for (; hole != first && less(value, *(hole - 1)); --hole)
            *hole = std::move(*(hole - 1));
        *hole = std::move(value);
    }
}

} // namespace tarrow
