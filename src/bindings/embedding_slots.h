// The sixteen embedding slots in the order the bindings list them: the per-slot members, the
// Expr3DEbd classes and the orbit table printed by applyRule all follow kSlotDigits.
#pragma once

#include "gorvin/core/types.h"

#include <array>
#include <vector>

namespace gorvin::python {

// The digits of each slot's orbit ("" is the dart itself).
constexpr std::array<const char*, kSlots> kSlotDigits{
    "", "0", "1", "2", "3", "01", "02", "03", "12", "13", "23", "012", "013", "023", "123", "0123"};

// The dimensions the digits name, in order: {0, 1} for "01".
inline std::vector<int> slotDims(const char* digits) {
    std::vector<int> dims;
    for (; *digits != '\0'; ++digits)
        dims.push_back(*digits - '0');
    return dims;
}

// The slot the digits name: the orbit bitmask of their dimensions.
inline unsigned slotOf(const char* digits) {
    return static_cast<unsigned>(orbitMask(slotDims(digits)));
}

} // namespace gorvin::python
