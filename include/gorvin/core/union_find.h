// Union-find over positions 0..n-1, kept in the caller's array: parent[i] == i for a root.
// Sets are joined by hanging the larger root under the smaller, so a root is the smallest
// position of its set and every parent lies below its child; one ascending pass then points
// every position at its root.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace gorvin {

// Joins the sets of i and j under the smaller of their roots; false when they were one set.
// Both walks climb from the node whose parent is larger, and each node passed is hung under the
// other side's parent (splicing), which shortens later walks; the walks stop as soon as they
// meet a common parent, often below the roots.
inline bool uniteUnderSmallest(std::uint32_t* parent, std::uint32_t i, std::uint32_t j) {
    while (parent[i] != parent[j]) {
        if (parent[i] < parent[j]) std::swap(i, j); // i climbs: its parent is the larger
        const std::uint32_t up = parent[i];
        if (up == i) { // i is a root above which j's set already lies
            parent[i] = parent[j];
            return true;
        }
        parent[i] = parent[j];
        i = up;
    }
    return false;
}

// uniteUnderSmallest for i < j. A j that is still its own root is hung at once under i's parent,
// which lies below i and so below j: the first link to a smaller position costs one write.
inline bool uniteWithLarger(std::uint32_t* parent, std::uint32_t i, std::uint32_t j) {
    if (parent[j] != j) return uniteUnderSmallest(parent, i, j);
    parent[j] = parent[i];
    return true;
}

// Points every position at its root: each parent is below its child, so it already points at
// its root when the ascending pass reaches the child.
inline void pointAtRoots(std::vector<std::uint32_t>& parent) {
    for (std::size_t i = 0; i < parent.size(); ++i)
        parent[i] = parent[parent[i]];
}

} // namespace gorvin
