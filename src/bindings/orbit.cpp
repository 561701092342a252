// Orbit (gorvin/core/orbit.h, suborbit.h) and the module functions orbit, islet and sorbit.
#include "dimension_list_binding.h"
#include "python_types.h"
#include "registry.h"

#include "gorvin/core/islet.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/suborbit.h"

#include <pybind11/typing.h>

#include <vector>

namespace gorvin::python {

namespace {

using OrbitClass = py::class_<Orbit>;

constexpr const char* kSubOrbitDoc = "returns the suborbit in a gmap starting of a dart";

py::set idSet(const std::vector<DartID>& ids) {
    py::set result;
    for (DartID id : ids) {
        const py::object item = py::reinterpret_steal<py::object>(PyLong_FromUnsignedLong(id));
        if (!item || PySet_Add(result.ptr(), item.ptr()) != 0) throw py::error_already_set();
    }
    return result;
}

// The orbit of dart as a set, in the order the walk finds it. A small walk buffer is kept for the
// thread's next call; a call made while it is out (from a finalizer that the set's allocations
// run) walks into a new one.
py::set orbitSet(const GMap& gmap, const Orbit& orbit, DartID dart) {
    thread_local std::vector<DartID> spare;
    std::vector<DartID> darts = std::move(spare);
    darts.clear();
    appendOrbit(gmap, orbit.dims(), dart, darts);
    py::set result = idSet(darts);
    if (darts.capacity() <= 4096) spare = std::move(darts); // a large orbit's buffer is not kept
    return result;
}

// Sub-orbit representatives of a handle's dart in the handle's G-map.
std::vector<DartID> subOrbitOf(const std::vector<int>& orbit, const std::vector<int>& sub,
                               const Dart& dart) {
    return subOrbitRepresentatives(*dart.gmap(), orbit, sub, dart.dartid);
}

py::typing::List<Dart> handles(const Dart& dart, const std::vector<DartID>& ids) {
    py::typing::List<Dart> out(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        out[i] = py::cast(dart.with(ids[i]));
    return out;
}

} // namespace

void declareOrbit(py::module_& m) {
    OrbitClass(m, "Orbit",
               "A class representing an orbit in a GMap - a set of darts that are connected "
               "through specific involutions");
}

void bindOrbit(py::module_& m) {
    auto cls = classOf<OrbitClass>(m, "Orbit");
    cls.def(py::init<std::vector<int>>(), py::arg("items"),
            "creates an orbit from a list of items");
    cls.def(py::init<const Orbit&>(), py::arg("orbit"), "creates a copy of an orbit");
    bindDimensionListHead(cls, "orbit", "<");
    cls.def(
        "__call__",
        [](const Orbit& self, const GMap& gmap, DartID dart) { return orbitSet(gmap, self, dart); },
        py::arg("gmap"), py::arg("dart"), "returns the orbit in a gmap starting of a dart");
    cls.def(
        "sub",
        [](const Orbit& self, const std::vector<int>& sorbit, const GMap& gmap, DartID dart) {
            return idSet(subOrbitRepresentatives(gmap, self.dims(), sorbit, dart));
        },
        py::arg("sorbit"), py::arg("gmap"), py::arg("dart"), kSubOrbitDoc);
    cls.def(
        "sub",
        [](const Orbit& self, const std::vector<int>& sorbit, const Dart& dart) {
            return handles(dart, subOrbitOf(self.dims(), sorbit, dart));
        },
        py::arg("sorbit"), py::arg("dart"), kSubOrbitDoc);
    // Same arguments as the overload above, which is always chosen first.
    cls.def(
        "sub",
        [](const Orbit& self, const std::vector<int>& sorbit, const Dart& dart) {
            return idSet(subOrbitOf(self.dims(), sorbit, dart));
        },
        py::arg("sorbit"), py::arg("dart"), kSubOrbitDoc);
    bindDimensionListTail(cls, "orbit", "check if the orbit contains an dimension");
}

void bindOrbitFunctions(py::module_& m) {
    m.def("orbit", [](const Orbit& orbit, const Dart& dart) {
        return orbitSet(*dart.gmap(), orbit, dart.dartid);
    });
    m.def("orbit", [](const GMap& gmap, const Orbit& orbit, DartID dart) {
        return orbitSet(gmap, orbit, dart);
    });
    m.def("islet",
          [](const Orbit& orbit, const GMap& gmap) { return isletLabels(gmap, orbit.dims()); });
    m.def("islet", [](const GMap& gmap, const Orbit& orbit, std::vector<DartID> darts) {
        return isletLabels(gmap, orbit.dims(), std::move(darts));
    });
    m.def(
        "sorbit",
        [](const std::vector<int>& orbit, const std::vector<int>& sorbit, const Dart& dart) {
            return handles(dart, subOrbitOf(orbit, sorbit, dart));
        },
        py::arg("orbit"), py::arg("sorbit"), py::arg("dart"), kSubOrbitDoc);
    m.def(
        "sorbit",
        [](const std::vector<int>& orbit, const std::vector<int>& sorbit, const GMap& gmap,
           DartID dart) { return idSet(subOrbitRepresentatives(gmap, orbit, sorbit, dart)); },
        py::arg("orbit"), py::arg("sorbit"), py::arg("gmap"), py::arg("dart"), kSubOrbitDoc);
}

} // namespace gorvin::python
