// One instance of a rule during an application: its row number, its neighbour rows along the
// first hook's orbit, the dart of every left and right node, and the embedding values computed for
// its right nodes. Left node ids and right node ids shifted by the left count share one index
// space.
#pragma once

#include "gorvin/core/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace gorvin {

template <class Value> struct RowPattern {
    std::uint32_t rowid = 0;
    std::vector<std::uint32_t> opp;
    std::vector<DartID> leftDarts;
    std::vector<DartID> rightDarts;
    std::vector<std::array<std::optional<Value>, kSlots>> ebdValues;

    // The dart at index i of the combined left-then-right list; std::out_of_range past its end.
    DartID getID(std::size_t i) const {
        if (i < leftDarts.size()) return leftDarts[i];
        return entry(rightDarts, i - leftDarts.size());
    }

    // Checked read of a row sequence.
    static std::uint32_t entry(const std::vector<std::uint32_t>& entries, std::size_t i) {
        if (i >= entries.size()) throw std::out_of_range("Index out of range");
        return entries[i];
    }
};

} // namespace gorvin
