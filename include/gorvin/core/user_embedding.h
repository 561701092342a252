// A user embedding: the value stored under the key `name` in the dict of the embedding slot that
// `orbit` selects through its bitmask. Immutable once built.
#pragma once

#include "gorvin/core/orbit.h"
#include "gorvin/core/types.h"

#include <cstdint>
#include <string>
#include <utility>

namespace gorvin {

struct UserEbd {
    std::string name;
    Orbit orbit;

    UserEbd(std::string name, Orbit orbit) : name(std::move(name)), orbit(std::move(orbit)) {}

    // The slot it names; kSlots or more names none.
    std::uint64_t slot() const { return orbitMask(orbit.dims()); }
};

} // namespace gorvin
