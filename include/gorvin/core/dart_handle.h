// HDart: a value handle naming a dart by (modeler, G-map id, dart id), resolved at every use.
// It does not keep its modeler alive; a handle whose modeler is gone names no dart.
#pragma once

#include "gorvin/core/exceptions.h"
#include "gorvin/core/modeler.h"
#include "gorvin/core/types.h"

#include <cstdint>
#include <memory>

namespace gorvin {

template <class Policy> struct HDart {
    using Modeler = IModeler<Policy>;
    using GMap = IGMap<Policy>;

    std::weak_ptr<Modeler> modeler;
    std::uint32_t gmapid = 0;
    DartID dartid = kDeleted;

    // The handle's G-map: GorvinUnexistentDartException when the modeler is gone,
    // std::out_of_range when gmapid is beyond the modeler's list.
    std::shared_ptr<GMap> gmap() const {
        auto owner = modeler.lock();
        if (!owner) throw GorvinUnexistentDartException{};
        return owner->gmap(gmapid);
    }

    // A handle to dart id in the same G-map.
    HDart with(DartID id) const { return HDart{modeler, gmapid, id}; }

    bool sameModeler(const HDart& other) const {
        return !modeler.owner_before(other.modeler) && !other.modeler.owner_before(modeler);
    }
    bool operator==(const HDart& other) const {
        return sameModeler(other) && gmapid == other.gmapid && dartid == other.dartid;
    }
    bool operator!=(const HDart& other) const { return !(*this == other); }
};

// A handle to dart id of gmap, naming gmap's own modeler.
template <class Policy> HDart<Policy> handleOf(const IGMap<Policy>& gmap, DartID id) {
    return HDart<Policy>{gmap.modeler(), gmap.id(), id};
}

} // namespace gorvin
