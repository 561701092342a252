// Basic kernel types: dart ids, dimensions and the orbit bitmask that numbers embedding slots.
// Invariant: kDeleted (all ones) is never the id of a live dart; it marks deleted slots and absent
// links.
#pragma once

#include <cstdint>
#include <vector>

namespace gorvin {

using DartID = std::uint32_t;
using Dim = std::uint32_t;

constexpr DartID kDeleted = 0xFFFFFFFFu; // id and links of a deleted slot
constexpr DartID kNoLink = 0xFFFFFFFFu;  // absent value in rule nodes, hooks and rows
constexpr int kWholeMap = -42;           // orbit entry that stands for every live dart
constexpr Dim kDimension = 3;
constexpr unsigned kSlots = 16; // one embedding slot per subset of {0,1,2,3}

// OR of 1 << (d mod 32) over the entries, in 32-bit arithmetic; 16 or more names no slot.
inline std::uint64_t orbitMask(const std::vector<int>& dims) {
    std::uint32_t mask = 0;
    for (int d : dims)
        mask |= 1u << (static_cast<std::uint32_t>(d) & 31u);
    return mask;
}

} // namespace gorvin
