// DartRef: a reference to one slot of a G-map's dart table that never dangles. It holds the G-map
// and the slot index and resolves the slot at each use, raising when the slot is gone. A detached
// DartRef holds its own copy of a record instead (a snapshot taken after a one-sided write).
#pragma once

#include "gorvin/core/dart.h"
#include "gorvin/core/gmap.h"

#include <memory>
#include <optional>
#include <utility>

namespace gorvin {

template <class Policy> class DartRef {
  public:
    using GMap = IGMap<Policy>;

    DartRef(std::shared_ptr<GMap> owner, DartID slot) : owner_(std::move(owner)), slot_(slot) {
        owner_->dart(slot_); // the slot must exist now
    }

    // The record: the slot of the owner's table, or the detached copy.
    const IDart& record() const { return copy_ ? *copy_ : owner_->dart(slot_); }

    // Writes target as the record's link along d, one-sided; d > 3 does nothing.
    void setLink(Dim d, DartID target) {
        if (copy_)
            copy_->setLink(d, target);
        else
            owner_->setLink(slot_, d, target);
    }
    // Erases the record (the slot alone: darts that link to it keep their links).
    void erase() {
        if (copy_)
            copy_->erase();
        else
            owner_->eraseSlot(slot_);
    }

    const std::shared_ptr<GMap>& owner() const { return owner_; }

    DartRef detached() const {
        DartRef snapshot(*this);
        snapshot.copy_ = record();
        return snapshot;
    }

  private:
    std::shared_ptr<GMap> owner_;
    DartID slot_;
    std::optional<IDart> copy_;
};

} // namespace gorvin
