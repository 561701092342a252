// RuleNodeMultiplicity, RuleNodeLeft3D and RuleNodeRight3D (gorvin/rules/rule_node.h).
#include "not_none.h"
#include "registry.h"
#include "rule_node_object.h"

#include <string>
#include <vector>

namespace gorvin::python {

namespace {

using MultiplicityClass = py::class_<RuleNodeMultiplicity>;

std::string text(const Rule::Left& node) {
    return "RuleNodeLeft<id=" + std::to_string(node.id) + (node.isHook ? ";hook" : "") +
           ";name=" + node.name + ";orbit=" + dimensionText(node.orbit) + ">";
}

std::string text(const Rule::Right& node) {
    return "RuleNodeRight<id=" + std::to_string(node.id) + ";name=" + node.name +
           ";exprs=" + std::to_string(node.exprs.size()) + ";orbit=" + dimensionText(node.orbit) +
           ">";
}

// A link slot of a node; dimensions above 3 name no slot.
template <class Node> std::uint32_t& linkOf(Node& node, Dim dim) {
    if (dim > kDimension) throw GorvinDimensionException{};
    return node.links[dim];
}

// The members both node classes open with: text forms, name and id.
template <class Node> void bindIdentity(py::class_<RuleNodeObject<Node>>& cls) {
    using Object = RuleNodeObject<Node>;
    auto textOf = [](const Object& self) { return text(self.node()); };
    cls.def("__repr__", textOf);
    cls.def("__str__", textOf);
    cls.def_property_readonly(
        "name", [](const Object& self) { return self.node().name; },
        "returns the name of the rule node (read-only)");
    cls.def_property_readonly(
        "id", [](const Object& self) { return self.node().id; },
        "returns the id of the rule node (read-only)");
}

// The members both node classes close with: multiplicity, links and the id as an int.
template <class Node> void bindLinks(py::class_<RuleNodeObject<Node>>& cls) {
    using Object = RuleNodeObject<Node>;
    cls.def_property_readonly(
        "multiplicity", [](const Object& self) { return self.node().multiplicity; },
        "returns the multiplicity of the rule node (read-only)");
    cls.def(
        "__getitem__", [](Object& self, Dim dim) { return linkOf(self.node(), dim); },
        py::arg("dim"), "returns the value of the rule node for a given name");
    cls.def(
        "__setitem__",
        [](Object& self, Dim dim, std::uint32_t id) { linkOf(self.node(), dim) = id; },
        py::arg("dim"), py::arg("rulenodeID"), "sets the value of the rule node for a given name");
    cls.def(
        "__int__", [](const Object& self) { return self.node().id; },
        "returns the id of the rule node as an integer");
}

} // namespace

void declareMultiplicity(py::module_& m) {
    MultiplicityClass(m, "RuleNodeMultiplicity",
                      "A class representing the multiplicity of a rule node in the context of 3D "
                      "modeling");
}

void bindMultiplicity(py::module_& m) {
    auto cls = classOf<MultiplicityClass>(m, "RuleNodeMultiplicity");
    cls.def(py::init<std::uint32_t, std::uint32_t>(), py::arg("min"), py::arg("max"),
            "Multiplicity of a rule node");
    auto textOf = [](const RuleNodeMultiplicity& self) {
        return "Multiplicity<min=" + std::to_string(self.min()) +
               ";max=" + std::to_string(self.max()) + ">";
    };
    cls.def("__repr__", textOf);
    cls.def("__str__", textOf);
    cls.def(
        "__eq__",
        [](const RuleNodeMultiplicity& self, NotNone<RuleNodeMultiplicity> other) {
            return self == *other;
        },
        py::arg("other"), "compare two multiplicity for equality");
    cls.def(
        "__ne__",
        [](const RuleNodeMultiplicity& self, NotNone<RuleNodeMultiplicity> other) {
            return self != *other;
        },
        py::arg("other"), "compare two multiplicity for inequality");
    cls.def("min", &RuleNodeMultiplicity::min, "returns the minimum");
    cls.def("max", &RuleNodeMultiplicity::max, "returns the maximum");
}

void declareRuleNodeLeft(py::module_& m) {
    LeftNodeClass(m, "RuleNodeLeft3D",
                  "A class representing the left-hand side of a rule node in the context of 3D "
                  "modeling");
}

void bindRuleNodeLeft(py::module_& m) {
    auto cls = classOf<LeftNodeClass>(m, "RuleNodeLeft3D");
    cls.def(
        py::init([](std::string name, std::uint32_t id, std::vector<int> orbit, bool isHook,
                    NotNone<RuleNodeMultiplicity> mult) {
            return LeftNodeObject(Rule::Left(std::move(name), id, std::move(orbit), isHook, *mult));
        }),
        py::arg("name"), py::arg("rid"), py::arg("list"), py::arg("isHook") = false, multArgument(),
        "Rule node left for 3D");
    bindIdentity(cls);
    cls.def_property_readonly(
        "isHook", [](const LeftNodeObject& self) { return self.node().isHook; },
        "returns true if the rule node is a hook (read-only)");
    bindLinks(cls);
}

void declareRuleNodeRight(py::module_& m) {
    RightNodeClass(m, "RuleNodeRight3D",
                   "A class representing the right-hand side of a rule node in the context of 3D "
                   "modeling");
}

void bindRuleNodeRight(py::module_& m) {
    auto cls = classOf<RightNodeClass>(m, "RuleNodeRight3D");
    bindIdentity(cls);
    bindLinks(cls);
}

} // namespace gorvin::python
