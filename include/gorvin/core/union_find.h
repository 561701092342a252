// Union-find over positions 0..n-1, kept in the caller's array: parent[i] == i for a root.
// Sets are joined by hanging the larger root under the smaller, so a root is the smallest
// position of its set and every parent lies below its child; one ascending pass then points
// every position at its root.
#pragma once

#include <cstdint>
#include <vector>

namespace gorvin {

// The root of i's set; halves the path on the way.
inline std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// Joins the sets of i and j under the smaller of their roots; false when they were one set.
inline bool uniteUnderSmallest(std::vector<std::uint32_t>& parent, std::uint32_t i,
                               std::uint32_t j) {
    const std::uint32_t a = findRoot(parent, i), b = findRoot(parent, j);
    if (a == b) return false;
    if (a < b)
        parent[b] = a;
    else
        parent[a] = b;
    return true;
}

// Points every position at its root: each parent is below its child, so it already points at
// its root when the ascending pass reaches the child.
inline void pointAtRoots(std::vector<std::uint32_t>& parent) {
    for (std::size_t i = 0; i < parent.size(); ++i)
        parent[i] = parent[parent[i]];
}

} // namespace gorvin
