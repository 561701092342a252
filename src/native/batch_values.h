// The values a batch application stores (batch.cpp): dicts made at once, and deferrals of a
// created node's darts to one pattern per distinct value.
#pragma once

#include "batch_columns.h"

#include "gorvin/rules/engine.h"

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

namespace gorvin::native {

// The computed values of an application: dicts made now for nodes and slots with several
// expressions, and for a created node's darts one pattern per distinct value, which they are
// deferred to when the values are stored: a table pattern the value was read from when it still
// is that value, else a new one.
class BatchValues {
  public:
    explicit BatchValues(const RightDarts* right = nullptr) : right_(right) {}

    bool empty() const { return dicts_.empty() && deferred_.empty(); }

    void addDicts(ComputedValues<py::object> dicts) {
        for (auto& computed : dicts.values)
            dicts_.values.push_back(std::move(computed));
    }

    // Row r's dart of right node `node` gets distinct value column.of[r] under key in slot. Nodes
    // deferred to the same column, key and slot share its patterns.
    void defer(std::uint32_t node, const Column& column, const py::str& key, unsigned slot) {
        auto [known, added] = firstSource_.try_emplace({&column, key.ptr(), slot},
                                                       static_cast<std::uint32_t>(values_));
        if (added) {
            sources_.push_back({&column, key, slot, known->second});
            values_ += column.size();
        }
        deferred_.push_back({node, &column, known->second});
    }

    // Stores the dicts and the deferrals; returns the values they replaced, for the caller to
    // release once it no longer works on the G-map.
    std::vector<py::object> store(GMap& gmap);

  private:
    // The distinct values of a column under key in slot: patterns first, first + 1, ...
    struct Source {
        const Column* column;
        py::str key;
        unsigned slot;
        std::uint32_t first;
    };
    struct Deferred {
        std::uint32_t node;
        const Column* column;
        std::uint32_t first; // its first source
    };
    const RightDarts* right_;
    ComputedValues<py::object> dicts_;
    std::vector<Source> sources_;
    std::size_t values_ = 0; // distinct values of all sources
    std::map<std::tuple<const Column*, PyObject*, unsigned>, std::uint32_t> firstSource_;
    std::vector<Deferred> deferred_;
};

} // namespace gorvin::native
