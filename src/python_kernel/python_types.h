// The kernel instantiated for Python: embedding values are dicts, and the aliases and class
// lookups that every binding file shares.
#pragma once

#include "gorvin/core/dart_handle.h"
#include "gorvin/core/dart_ref.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"

#include "deferred_dict.h"
#include "owner.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <typeinfo>

namespace gorvin::python {

namespace py = pybind11;

// Embedding values are Python objects; the modeler's descriptors make new empty dicts, and
// deferred slots are made as new dicts.
struct DictEmbedding {
    using Value = py::object;
    using Deferred = DeferredDict;
    static std::string typeName() { return typeid(py::dict).name(); }
    static Value create() { return py::dict(); }
    static Value make(const Deferred& deferred) { return deferred.make(); }
};

using Modeler = IModeler<DictEmbedding>;
using GMap = IGMap<DictEmbedding>;
using Dart = HDart<DictEmbedding>;
using RawDart = DartRef<DictEmbedding>;

using ModelerClass = py::class_<Modeler, std::shared_ptr<Modeler>>;
using GMapClass = py::class_<GMap, std::shared_ptr<GMap>>;
using DartClass = py::class_<Dart>;
using RawDartClass = py::class_<RawDart>;

// The class object created earlier under `name`, to add members to it.
template <class Class> Class classOf(py::module_& m, const char* name) {
    return py::reinterpret_borrow<Class>(m.attr(name));
}

// A G-map as handed to Python by the modeler whose Python object is `owner`: the result keeps
// that object alive, and the modeler's list keeps the G-map alive.
inline std::shared_ptr<GMap> pinned(py::object owner, const std::shared_ptr<GMap>& gmap) {
    return tiedTo(std::move(owner), gmap);
}

// A G-map as handed to Python elsewhere: tied to the modeler that made it, while that exists.
inline std::shared_ptr<GMap> pinned(const std::shared_ptr<GMap>& gmap) {
    if (auto modeler = gmap->modeler().lock()) return pinned(py::cast(std::move(modeler)), gmap);
    return gmap;
}

} // namespace gorvin::python
