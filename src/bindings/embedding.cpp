// The embedding descriptors EbdDart .. Ebd0123 (gorvin/core/embedding_descriptor.h), Ebd
// (gorvin/core/user_embedding.h), and the embedding members of RawDart3D, Dart3D and GMap3D.
#include "embedding_slots.h"
#include "python_types.h"
#include "registry.h"

#include "gorvin/core/embedding_descriptor.h"
#include "gorvin/core/orbit.h"
#include "gorvin/core/user_embedding.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace gorvin::python {

namespace {

using EbdClass = py::class_<UserEbd>;

// "0,1,2" for "012".
std::string commaSeparated(const std::string& digits) {
    std::string out;
    for (char digit : digits) {
        if (!out.empty()) out += ',';
        out += digit;
    }
    return out;
}

// Adds one member per slot, named "ebd" + digits; `doc` gives its docstring from the digits.
template <class Bind, class Doc> void bindSlotMembers(const Bind& bind, const Doc& doc) {
    for (const char* digits : kSlotDigits)
        bind(std::string("ebd") + digits, slotOf(digits), doc(commaSeparated(digits)));
}

// The value in slot `slot` of dart did; GorvinUnexistentDartException when did names no slot.
py::object slotValue(GMap& gmap, DartID did, unsigned slot) {
    if (!gmap.contains(did)) throw GorvinUnexistentDartException{};
    return gmap.embeddings().get(did, slot);
}

// The slot an orbit bitmask names, or none when it is kSlots or more.
std::optional<unsigned> slotOfMask(std::uint64_t mask) {
    if (mask >= kSlots) return std::nullopt;
    return static_cast<unsigned>(mask);
}

// The slot an orbit bitmask names; "Invalid orbit ID" when it names none.
unsigned checkedSlot(std::uint64_t mask) {
    if (const auto slot = slotOfMask(mask)) return *slot;
    throw std::runtime_error("Invalid orbit ID");
}

// The value under `name` in a slot's dict, or None.
py::object valueUnder(const py::object& dict, const std::string& name) {
    const py::str key(name);
    if (dict.contains(key)) return dict[key];
    return py::none();
}

template <int... Dims> void bindDescriptor(py::module_& m, const char* name) {
    using Descriptor = ebd<py::object, Dims...>;
    py::class_<Descriptor> cls(m, name);
    cls.def_property_readonly("name", [](const Descriptor& self) { return self.name; });
    cls.def_property_readonly("orbit", [](const Descriptor&) { return Orbit(Descriptor::dims()); });
    cls.def_property_readonly("defValue",
                              [](const Descriptor& self) { return self.defaultValue(); });
    auto text = [](const Descriptor& self) {
        std::string dims;
        for (int d : Descriptor::dims())
            dims += (dims.empty() ? "a" : ", a") + std::to_string(d);
        return "ebd<" + self.name + " - <" + dims + "> - " + DictEmbedding::typeName() + ">";
    };
    cls.def("__repr__", text);
    cls.def("__str__", text);
}

} // namespace

void declareEbd(py::module_& m) {
    EbdClass(m, "Ebd",
             "A class representing an embedding in the context of 3D modeling - allows associating "
             "data with darts in a GMap");
}

void bindEbd(py::module_& m) {
    auto cls = classOf<EbdClass>(m, "Ebd");
    cls.def(py::init<std::string, Orbit>());
    cls.def(py::init([](std::string name, std::vector<int> items) {
        return UserEbd(std::move(name), Orbit(std::move(items)));
    }));
    cls.def_property_readonly("name", [](const UserEbd& self) { return self.name; });
    cls.def_property_readonly("orbit", [](const UserEbd& self) { return self.orbit; });
    cls.def("__repr__", [](const UserEbd& self) {
        return "Ebd: name=" + self.name + ", orbit=" + self.orbit.text("<");
    });
}

void bindEmbeddingDescriptors(py::module_& m) {
    bindDescriptor<>(m, "EbdDart");
    bindDescriptor<0>(m, "Ebd0");
    bindDescriptor<1>(m, "Ebd1");
    bindDescriptor<2>(m, "Ebd2");
    bindDescriptor<3>(m, "Ebd3");
    bindDescriptor<0, 1>(m, "Ebd01");
    bindDescriptor<0, 2>(m, "Ebd02");
    bindDescriptor<0, 3>(m, "Ebd03");
    bindDescriptor<1, 2>(m, "Ebd12");
    bindDescriptor<1, 3>(m, "Ebd13");
    bindDescriptor<2, 3>(m, "Ebd23");
    bindDescriptor<0, 1, 2>(m, "Ebd012");
    bindDescriptor<0, 1, 3>(m, "Ebd013");
    bindDescriptor<0, 2, 3>(m, "Ebd023");
    bindDescriptor<1, 2, 3>(m, "Ebd123");
    bindDescriptor<0, 1, 2, 3>(m, "Ebd0123");
}

void bindRawDartEmbeddings(py::module_& m) {
    auto cls = classOf<RawDartClass>(m, "RawDart3D");
    bindSlotMembers(
        [&](const std::string& name, unsigned slot, const std::string& doc) {
            cls.def_property_readonly(
                name.c_str(),
                [slot](const RawDart& self) {
                    return slotValue(*self.owner(), self.record().id, slot);
                },
                doc.c_str());
        },
        [](const std::string& dims) {
            if (dims.empty())
                return std::string("returns the ebd of the dart for a given dimension");
            return "returns the ebd <" + dims + "> of the dart";
        });
}

void bindDartEmbeddings(py::module_& m) {
    auto cls = classOf<DartClass>(m, "Dart3D");
    auto get = [](const Dart& self, const UserEbd& ebd) -> py::object {
        const auto slot = slotOfMask(ebd.slot());
        if (!slot) return py::none();
        return valueUnder(slotValue(*self.gmap(), self.dartid, *slot), ebd.name);
    };
    auto set = [](const Dart& self, const UserEbd& ebd, py::object value) {
        const auto slot = slotOfMask(ebd.slot());
        if (!slot) return;
        slotValue(*self.gmap(), self.dartid, *slot)[py::str(ebd.name)] = value;
    };
    const char* getDoc = "Returns the ebd of the dart for a given user ebd";
    const char* setDoc = "Sets the ebd of the dart for a given user ebd";
    cls.def("e", get, py::arg("ebd"), getDoc);
    cls.def("get", get, py::arg("ebd"), getDoc);
    cls.def("e", set, py::arg("ebd"), py::arg("value"), setDoc);
    cls.def("set", set, py::arg("ebd"), py::arg("value"), setDoc);
    bindSlotMembers(
        [&](const std::string& name, unsigned slot, const std::string& doc) {
            cls.def_property_readonly(
                name.c_str(),
                [slot](const Dart& self) { return slotValue(*self.gmap(), self.dartid, slot); },
                doc.c_str());
        },
        [](const std::string& dims) { return "Returns the ebd <" + dims + "> of the Dart3D"; });
}

void bindGMapEmbeddings(py::module_& m) {
    auto cls = classOf<GMapClass>(m, "GMap3D");
    cls.def(
        "e",
        [](GMap& self, DartID did, const Orbit& orbit) {
            return slotValue(self, did, checkedSlot(orbitMask(orbit.dims())));
        },
        py::arg("did"), py::arg("orbit"), "returns the e of the dart id for an orbit");
    cls.def(
        "e",
        [](GMap& self, DartID did, const UserEbd& uebd) {
            return valueUnder(slotValue(self, did, checkedSlot(uebd.slot())), uebd.name);
        },
        py::arg("did"), py::arg("uebd"), "returns the e of the dart id for a user embedding");
    bindSlotMembers(
        [&](const std::string& name, unsigned slot, const std::string& doc) {
            cls.def(
                name.c_str(), [slot](GMap& self, DartID did) { return slotValue(self, did, slot); },
                py::arg("did"), doc.c_str());
        },
        [](const std::string& dims) { return "returns the ebd <" + dims + "> of the dart id"; });
}

} // namespace gorvin::python
