// The neighbour lookup of a dart table, one rule for every reader: an entry 0..3 follows the
// slot's link, any other entry leads the slot to its own id (IDart::neighbour), so a deleted
// slot leads to kDeleted. A result may name no slot or a deleted one; readers that must not
// follow such a link take liveNeighbour.
#pragma once

#include "gorvin/core/dart.h"
#include "gorvin/core/types.h"

namespace gorvin {

// The neighbour of slot x along entry d; x must name a slot.
inline DartID neighbour(const DartTable& darts, DartID x, int d) {
    return darts[x].neighbour(static_cast<Dim>(d));
}

// The neighbour of slot x along d when it names a live slot, else x itself: links to deleted or
// absent slots read as free links.
inline DartID liveNeighbour(const DartTable& darts, DartID x, Dim d) {
    const DartID y = darts[x].neighbour(d);
    return y < darts.size() && darts[y].exists() ? y : x;
}

} // namespace gorvin
