// Storing a batch application's values (batch_values.h).
#include "batch_values.h"

#include <utility>

namespace gorvin::native {

namespace {

// Whether the table pattern an item was read from is still that item under key in slot.
bool isPattern(const Item& item, Bulk& bulk, const py::str& key, unsigned slot) {
    if (item.pattern == kAbsent || item.pattern >= bulk.patternCount()) return false;
    const Pattern& known = bulk.pattern(item.pattern);
    const DeferredDict& value = known.value;
    return known.held && known.slot == slot && value.kind != DeferredDict::Kind::copy &&
           value.item.is(item.item) && value.block == item.block && value.row == item.row &&
           value.key.is(key);
}

} // namespace

std::vector<py::object> BatchValues::store(GMap& gmap) {
    std::vector<py::object> replaced = dicts_.store(gmap);
    Bulk bulk(gmap);
    bulk.reservePatterns(values_);
    std::vector<std::uint32_t> number(values_);
    for (const Source& source : sources_) {
        const Column& column = *source.column;
        std::uint32_t* out = number.data() + source.first;
        for (const Item& item : column.items())
            *out++ = isPattern(item, bulk, source.key, source.slot)
                         ? item.pattern
                         : bulk.addPattern(item.deferred(source.key), source.slot);
        const std::size_t points = column.size() - column.items().size();
        for (std::uint32_t row = 0; row < points; ++row)
            *out++ = bulk.addPattern(DeferredDict::pointRow(source.key, column.block(), row),
                                     source.slot);
    }
    for (const Deferred& group : deferred_) {
        const std::vector<std::uint32_t>& of = group.column->of;
        for (std::size_t r = 0; r < of.size(); ++r)
            if (py::object old = bulk.defer((*right_)(r, group.node), number[group.first + of[r]]))
                replaced.push_back(std::move(old));
    }
    // Patterns the deferrals replaced: their objects are released by the caller; a point
    // block holds only tuples of floats, which run no code when released.
    for (DeferredDict& unused : bulk.takeUnused())
        for (py::object* held : {&unused.key, &unused.item})
            if (*held) replaced.push_back(std::move(*held));
    return replaced;
}

} // namespace gorvin::native
