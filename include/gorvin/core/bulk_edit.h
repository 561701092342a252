// Bulk work on a G-map, for a layer that builds or fills many darts at once (mesh readers, rule
// applications evaluated for all rows, saved maps written back): darts appended already linked,
// pairs linked, slots read and written, and slots deferred to patterns, values of the policy's
// `Deferred` type that each deferred slot is made from on first read (embedding_table.h). The dart
// and embedding tables stay behind it. Ids given here are the caller's to have checked: they name
// slots of the G-map.
#pragma once

#include "gorvin/core/gmap.h"
#include "gorvin/core/types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace gorvin {

template <class Policy> class BulkEdit {
  public:
    using GMap = IGMap<Policy>;
    using Value = typename Policy::Value;
    using Deferred = typename Policy::Deferred;
    using Pattern = typename GMap::Embeddings::Pattern;

    explicit BulkEdit(GMap& gmap) : gmap_(gmap) {}

    // Appends n darts whose values are made on first use; new dart i links along d to new dart
    // link(i, d) (below n; kDeleted: a link to no dart), links the caller has checked. Returns the
    // first new id.
    template <class LinkOf> DartID appendLinked(std::uint64_t n, LinkOf&& link) {
        const auto first = static_cast<DartID>(gmap_.size());
        return gmap_.makeDarts(n, [&](std::size_t i) {
            std::array<DartID, kDimension + 1> alpha;
            for (Dim d = 0; d <= kDimension; ++d) {
                const DartID target = link(i, d);
                alpha[d] = target == kDeleted ? kDeleted : first + target;
            }
            return alpha;
        });
    }
    // Erases slot x, leaving the links to it as they are.
    void erase(DartID x) { gmap_.eraseSlot(x); }
    // Links a and b along d (d <= 3) and frees their former neighbours.
    void link(Dim d, DartID a, DartID b) { gmap_.linkSlots(d, a, b); }

    // Slot k of dart x: its value, made when missing (which may run code of the value type).
    Value value(DartID x, unsigned k) { return table().get(x, k); }
    // Its value when made, else nullptr; makes nothing (a deferred slot has no value yet).
    const Value* madeValue(DartID x, unsigned k) { return table().peek(x, k); }
    // Replaces it; returns the old value, for the caller to release after its work on the G-map.
    [[nodiscard]] Value replace(DartID x, unsigned k, Value value) {
        return table().set(x, k, std::move(value));
    }

    // Pattern numbers are below patternCount(); a number stays its pattern's while a slot is
    // deferred to it.
    std::size_t patternCount() { return table().patternCount(); }
    const Pattern& pattern(std::uint32_t p) { return table().pattern(p); }
    // The pattern slot k of dart x is deferred to, or kAbsent.
    std::uint32_t deferredTo(DartID x, unsigned k) { return table().deferred(x, k); }
    // Room for `more` patterns, so that adding them moves none.
    void reservePatterns(std::size_t more) { table().reservePatterns(more); }
    // A new pattern for slot k; unless a slot is deferred to it, takeUnused takes it back.
    std::uint32_t addPattern(Deferred value, unsigned k) {
        return table().addPattern(std::move(value), k);
    }
    // Defers dart x's slot of pattern p to it; returns the value the slot held alone, for the
    // caller to release. A dart has one deferred slot at most: an earlier deferral of x ends.
    [[nodiscard]] Value defer(DartID x, std::uint32_t p) { return table().defer(x, p); }
    // The values of the patterns no slot is deferred to any more, which leave the G-map, for the
    // caller to release after its work on the G-map.
    [[nodiscard]] std::vector<Deferred> takeUnused() { return table().takeUnusedPatterns(); }

  private:
    typename GMap::Embeddings& table() { return gmap_.embeddings(); }

    GMap& gmap_;
};

} // namespace gorvin
