// What one pass over a G-map's links tells: whether every link of a live dart is an involution on
// live darts, which dimensions link some live dart to another, and how many darts are live. Read
// by the checks and by the point-program sweep.
#pragma once

#include "native.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace gorvin::native {

inline bool live(const DartTable& darts, DartID d) {
    return d < darts.size() && darts[d].exists();
}

struct LinkSummary {
    bool involutive = true;
    std::array<bool, kDimension + 1> used{};
    std::size_t liveCount = 0;

    // Over the live darts below `bound` (all darts by default), a link to a dart at or past it
    // counting as not returned. Calls fault(dart, dim, neighbour, its link back or -1 when the
    // neighbour is not live there) for every live dart and dimension where alpha_dim is not an
    // involution, by dart then dim.
    template <class Fault>
    LinkSummary(const DartTable& darts, const Fault& fault,
                std::size_t bound = std::numeric_limits<std::size_t>::max()) {
        bound = std::min(bound, darts.size());
        for (DartID i = 0; i < bound; ++i) {
            if (!darts[i].exists()) continue;
            ++liveCount;
            for (Dim d = 0; d <= kDimension; ++d) {
                const DartID j = darts[i].alpha[d];
                if (j == i) continue;
                used[d] = true;
                const bool target = j < bound && live(darts, j);
                if (target && darts[j].alpha[d] == i) continue;
                involutive = false;
                fault(i, d, j, target ? std::int64_t{darts[j].alpha[d]} : std::int64_t{-1});
            }
        }
    }
};

} // namespace gorvin::native
