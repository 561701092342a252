// Basic kernel types: dart ids, dimensions and the orbit bitmask that numbers embedding slots.
// Invariant: all ones is never a dart id, node id, row or position, so every table uses it for
// "none"; each role has its own name below, all with that one value.
#pragma once

#include <cstdint>
#include <vector>

namespace gorvin {

using DartID = std::uint32_t;
using Dim = std::uint32_t;

constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
constexpr DartID kDeleted = kAllOnes;           // the id and the links of a deleted slot
constexpr DartID kNoLink = kAllOnes;            // no node, dart or row: rule nodes, hooks, rows
constexpr std::uint32_t kNoPosition = kAllOnes; // an edge of a labelling that leads nowhere
constexpr std::uint32_t kAbsent = kAllOnes;     // no value under a key of a DartMap
constexpr int kWholeMap = -42;                  // orbit entry that stands for every live dart
constexpr Dim kDimension = 3;
constexpr unsigned kSlots = 16; // one embedding slot per subset of {0,1,2,3}

// True when the orbit entry d names a link (0..3); every other entry leads a dart to itself.
constexpr bool isLinkDimension(Dim d) {
    return d <= kDimension;
}
constexpr bool isLinkDimension(int d) {
    return d >= 0 && d <= static_cast<int>(kDimension);
}

// OR of 1 << (d mod 32) over the entries, in 32-bit arithmetic; 16 or more names no slot.
inline std::uint64_t orbitMask(const std::vector<int>& dims) {
    std::uint32_t mask = 0;
    for (int d : dims)
        mask |= 1u << (static_cast<std::uint32_t>(d) & 31u);
    return mask;
}

} // namespace gorvin
