// A map from dart ids to 32-bit values whose cost follows its entries, not the dart table. It
// starts as an open-addressing hash and turns into a dense array over the ids below `universe`
// once it holds a 64th of them: the pass over the array, 64 words an entry, is paid for by the
// entries, and hash probes stop early.
// Invariants: stored keys are below the universe; kAbsent is never stored as a value.
#pragma once

#include "gorvin/core/pod_vector.h"
#include "gorvin/core/types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gorvin {

class DartMap {
  public:
    explicit DartMap(std::size_t universe) : universe_(universe) {
        if (universe_ <= kSmallUniverse)
            dense_.append(universe_, kAbsent);
        else
            slots_.assign(kInitialSlots, Slot{});
    }

    // The value stored under `key`, kAbsent when there is none (also for keys out of the universe).
    std::uint32_t get(DartID key) const {
        if (key >= universe_) return kAbsent;
        if (isDense()) return dense_[key];
        return slots_[find(key)].value;
    }

    bool contains(DartID key) const { return get(key) != kAbsent; }

    // Asks the processor to load the place of `key` ahead of a get or set.
    void prefetch(DartID key) const {
        if (key >= universe_) return;
        if (isDense())
            __builtin_prefetch(&dense_[key]);
        else
            __builtin_prefetch(&slots_[home(key)]);
    }

    // The values by key once the map is dense, else null; a set may make it dense. Writing
    // kAbsent through it is not allowed.
    std::uint32_t* denseValues() { return isDense() ? dense_.begin() : nullptr; }

    // Stores `value` under `key`; key < universe, value != kAbsent.
    void set(DartID key, std::uint32_t value) {
        if (isDense())
            dense_[key] = value;
        else
            setInSlots(key, value);
    }

    // Calls f(key, value) for every entry, in ascending key order once the map is dense.
    template <class F> void forEach(F&& f) const {
        if (isDense()) {
            for (DartID key = 0; key < universe_; ++key)
                if (dense_[key] != kAbsent) f(key, dense_[key]);
            return;
        }
        for (const Slot& slot : slots_)
            if (slot.key != kNoLink) f(slot.key, slot.value);
    }

  private:
    struct Slot {
        DartID key = kNoLink; // kNoLink marks an empty slot: it is never below the universe
        std::uint32_t value = kAbsent;
    };
    static constexpr std::size_t kSmallUniverse = 1024;
    static constexpr std::size_t kInitialSlots = 64;

    bool isDense() const { return slots_.empty(); }

    [[gnu::noinline]] void setInSlots(DartID key, std::uint32_t value) {
        Slot& slot = slots_[find(key)];
        if (slot.key == key) {
            slot.value = value;
            return;
        }
        slot = Slot{key, value};
        ++count_;
        if (count_ * 64 >= universe_)
            becomeDense();
        else if (count_ * 2 >= slots_.size())
            rehash(slots_.size() * 2);
    }

    // The first slot probed for `key`.
    std::size_t home(DartID key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
    }

    // The slot holding `key`, or the empty slot where it would go.
    std::size_t find(DartID key) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = home(key);
        while (slots_[i].key != key && slots_[i].key != kNoLink)
            i = (i + 1) & mask;
        return i;
    }

    void rehash(std::size_t size) {
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.key != kNoLink) slots_[find(slot.key)] = slot;
    }

    void becomeDense() {
        dense_.append(universe_, kAbsent);
        for (const Slot& slot : slots_)
            if (slot.key != kNoLink) dense_[slot.key] = slot.value;
        std::vector<Slot>().swap(slots_);
    }

    std::size_t universe_;
    std::size_t count_ = 0;
    PodVector<std::uint32_t> dense_;
    std::vector<Slot> slots_;
};

} // namespace gorvin
