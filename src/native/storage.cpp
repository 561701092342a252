// A G-map's tables as arrays for saving, and written back exactly: raw links (one-sided ones and
// deleted slots included) and the sixteen embedding values of every dart with their sharing.
#include "native.h"

#include <pybind11/stl.h>

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

constexpr std::int64_t kOwnEmptyDict = -1; // a new empty dict that no other slot shares

// The code of a slot holding its own copy of value j (a deferred slot): below kOwnEmptyDict.
std::int64_t ownCopyOf(std::int64_t j) {
    return kOwnEmptyDict - 1 - j;
}

// The distinct values of every slot (by identity, in order of first use) and, per dart and slot,
// the index of its value; an empty dict used by one slot only is kOwnEmptyDict instead, and a
// deferred slot ownCopyOf the value its pattern makes (made once per pattern).
py::tuple embeddingRecords(GMap& gmap) {
    Bulk bulk(gmap);
    std::vector<py::object> made(bulk.patternCount()); // may run code: before the records are read
    for (std::uint32_t p = 0; p < made.size(); ++p)
        if (const Pattern pattern = bulk.pattern(p); pattern.held && pattern.uses > 0)
            made[p] = pattern.value.make();
    const std::size_t n = gmap.size();
    std::vector<py::object> values;
    std::unordered_map<PyObject*, std::int64_t> index;
    std::vector<std::int64_t> uses;
    py::array_t<std::int64_t> records(
        {static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(kSlots)});
    std::int64_t* record = records.mutable_data();
    const auto indexOf = [&](const py::object& value) {
        auto [it, added] = index.emplace(value.ptr(), static_cast<std::int64_t>(values.size()));
        if (added) {
            values.push_back(value);
            uses.push_back(0);
        }
        ++uses[static_cast<std::size_t>(it->second)];
        return it->second;
    };
    for (std::size_t i = 0; i < n; ++i) {
        for (unsigned k = 0; k < kSlots; ++k) {
            if (const std::uint32_t p = bulk.deferredTo(i, k); p != kAbsent) {
                if (p >= made.size() || !made[p])
                    throw py::value_error("a pattern changed while saving");
                record[i * kSlots + k] = ownCopyOf(indexOf(made[p]));
                continue;
            }
            const py::object* value = bulk.madeValue(i, k);
            if (!value) { // not made yet: it would be a new empty dict of its own
                record[i * kSlots + k] = kOwnEmptyDict;
                continue;
            }
            record[i * kSlots + k] = indexOf(*value);
        }
    }
    // Renumber: lone empty dicts leave the table, the others keep their order.
    std::vector<std::int64_t> kept(values.size(), kOwnEmptyDict);
    py::list shared;
    for (std::size_t j = 0; j < values.size(); ++j) {
        const PyObject* value = values[j].ptr();
        if (uses[j] == 1 && PyDict_CheckExact(value) && PyDict_GET_SIZE(value) == 0) continue;
        kept[j] = static_cast<std::int64_t>(py::len(shared));
        shared.append(values[j]);
    }
    for (std::size_t i = 0; i < n * kSlots; ++i) {
        if (record[i] >= 0) record[i] = kept[static_cast<std::size_t>(record[i])];
        if (record[i] < kOwnEmptyDict) { // a copy of a lone empty dict is an empty dict of its own
            const std::int64_t j = kept[static_cast<std::size_t>(ownCopyOf(record[i]))];
            record[i] = j == kOwnEmptyDict ? kOwnEmptyDict : ownCopyOf(j);
        }
    }
    return py::make_tuple(shared, records);
}

// Appends len(live) darts to an empty G-map with exactly these links and ids (deleted where live is
// false), then stores values[records[i, k]] (a new dict for -1, a copy of values[-2 - code] made on
// first read for a code below -1) in slot k of dart i.
void restore(GMap& gmap, const py::array_t<std::uint32_t, kIdArray>& links,
             const py::array_t<bool, kIdArray>& live, const py::list& values,
             const py::array_t<std::int64_t, kIdArray>& records) {
    if (gmap.size() != 0) throw py::value_error("restore: the G-map must be empty");
    const auto n = static_cast<std::size_t>(live.size());
    if (live.ndim() != 1 || links.ndim() != 2 || links.shape(0) != live.shape(0) ||
        links.shape(1) != 4 || records.ndim() != 2 || records.shape(0) != live.shape(0) ||
        records.shape(1) != kSlots)
        throw py::value_error(
            "restore: links, live and records must have shapes (n, 4), (n,) and (n, 16)");
    const std::uint32_t* alpha = links.data();
    const std::int64_t* record = records.data();
    const auto count = static_cast<std::int64_t>(py::len(values));
    for (std::size_t i = 0; i < 4 * n; ++i)
        if (alpha[i] >= n && alpha[i] != kDeleted)
            throw py::value_error("restore: dart " + std::to_string(i / 4) + " links to " +
                                  std::to_string(alpha[i]) + " along " + std::to_string(i % 4) +
                                  ", which is no slot");
    for (std::size_t i = 0; i < n * kSlots; ++i)
        if (record[i] < ownCopyOf(count - 1) || record[i] >= count)
            throw py::value_error("restore: dart " + std::to_string(i / kSlots) + " slot " +
                                  std::to_string(i % kSlots) + " names value " +
                                  std::to_string(record[i]) + " of " + std::to_string(count));
    Bulk bulk(gmap);
    bulk.appendLinked(n, [&](std::uint64_t i, Dim d) { return alpha[4 * i + d]; });
    for (std::size_t i = 0; i < n; ++i)
        if (!live.data()[i]) bulk.erase(static_cast<DartID>(i));
    std::map<std::pair<std::int64_t, unsigned>, std::uint32_t> patterns; // (value, slot)
    std::vector<bool> deferred(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (unsigned k = 0; k < kSlots; ++k) {
            const std::int64_t j = record[i * kSlots + k];
            if (j == kOwnEmptyDict) continue; // made on first use, as for any new dart
            if (j >= 0) {
                const py::object old =
                    bulk.replace(i, k, py::object(values[static_cast<std::size_t>(j)]));
                continue;
            }
            const py::object value = values[static_cast<std::size_t>(ownCopyOf(j))];
            if (deferred[i] || !PyDict_CheckExact(value.ptr())) { // one deferred slot per dart
                const py::object old = bulk.replace(i, k, DeferredDict::copyOf(value).make());
                continue;
            }
            auto [known, added] = patterns.try_emplace({ownCopyOf(j), k}, 0);
            if (added) known->second = bulk.addPattern(DeferredDict::copyOf(value), k);
            const py::object old = bulk.defer(i, known->second);
            deferred[i] = true;
        }
    }
}

} // namespace

void bindStorage(py::module_& m) {
    m.def("embedding_records", &embeddingRecords, py::arg("gmap"),
          "(values, records): the distinct slot values and, per dart and slot, the index of its "
          "value (-1: an empty dict of that slot alone; -2 - j: its own copy of value j).");
    m.def("restore", &restore, py::arg("gmap"), py::arg("links"), py::arg("live"),
          py::arg("values"), py::arg("records"),
          "Fills an empty G-map with darts of exactly these links, live flags and slot values.");
}

} // namespace gorvin::native
