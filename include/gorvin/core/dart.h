// One slot of the dart table: the dart's own id and its four alpha links.
// A free dart links to itself; a deleted slot holds kDeleted in all five fields.
#pragma once

#include "gorvin/core/pod_vector.h"
#include "gorvin/core/types.h"

#include <array>

namespace gorvin {

struct IDart {
    DartID id = kDeleted;
    std::array<DartID, kDimension + 1> alpha{kDeleted, kDeleted, kDeleted, kDeleted};

    static IDart fresh(DartID id) { return IDart{id, {id, id, id, id}}; }

    bool exists() const { return id != kDeleted; }
    // The neighbour lookup (see neighbour.h): the link for d in 0..3, the record's own id for any
    // other d.
    DartID neighbour(Dim d) const { return isLinkDimension(d) ? alpha[d] : id; }
    bool isFree(Dim d) const { return neighbour(d) == id; }
    // A one-sided write of the link along d; d > 3 does nothing.
    void setLink(Dim d, DartID target) {
        if (isLinkDimension(d)) alpha[d] = target;
    }
    void erase() { *this = IDart{}; }
};

// The dart table: slot i holds dart i.
using DartTable = PodVector<IDart>;

} // namespace gorvin
