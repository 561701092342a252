// Embedding descriptors: what a modeler knows about each of the sixteen embedding slots.
// A descriptor's default value is a fresh value from its function, or else its stored value.
#pragma once

#include "gorvin/core/types.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace gorvin {

template <class Value> struct EmbeddingDescriptor {
    std::string name;
    std::vector<std::string> names;
    Value stored{};
    bool useFunction = false;
    std::function<Value()> function;

    Value defaultValue() const {
        if (!useFunction) return stored;
        if (!function) throw std::bad_function_call();
        return function();
    }
};

// Descriptor of the slot whose orbit is <Dims...>; one distinct type per slot.
template <class Value, int... Dims> struct ebd : EmbeddingDescriptor<Value> {
    static std::vector<int> dims() { return {Dims...}; }
};

template <class Value> using EmbeddingDescriptors = std::array<EmbeddingDescriptor<Value>, kSlots>;

} // namespace gorvin
