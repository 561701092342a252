// Rule3D (gorvin/rules/rule.h): the rule model, its compilation and match.
#include "not_none.h"
#include "registry.h"
#include "rule_node_object.h"

#include <string>
#include <vector>

namespace gorvin::python {

namespace {

std::string text(const Rule& rule) {
    return "Rule<name=" + rule.name() + ";cat=" + rule.category() +
           ";compiled=" + (rule.isCompiled() ? "1" : "0") +
           ";hooks=" + std::to_string(rule.countHooks()) +
           ";leftsize=" + std::to_string(rule.leftnodes().size()) +
           ";rightsize=" + std::to_string(rule.rightnodes().size()) + ">";
}

template <class Node> std::vector<RuleNodeObject<Node>> copies(const std::vector<Node>& nodes) {
    return {nodes.begin(), nodes.end()};
}

// A view of the node of rule named by key; it holds the Rule3D object.
template <class Object, class Key> Object view(const Owner<Rule>& rule, const Key& key) {
    return Object(rule.held(), key);
}

} // namespace

void declareRule(py::module_& m) {
    RuleClass(m, "Rule3D",
              "A class representing a 3D transformation rule - defines how to transform topology "
              "and geometry in accordance with a specific modeling operation");
}

void bindRule(py::module_& m) {
    auto cls = classOf<RuleClass>(m, "Rule3D");
    cls.def(py::init<std::string, std::string>(), py::arg("name"), py::arg("category") = "",
            "Constructor for a rule");
    cls.def(py::init<const Rule&>(), py::arg("rule"), "copy constructor");
    cls.def("__repr__", &text);
    cls.def("__str__", &text);
    cls.def_property_readonly("name", &Rule::name, "returns the name of the rule (read-only)");
    cls.def_property_readonly("category", &Rule::category,
                              "returns the module of the rule (read-only)");
    cls.def_property_readonly("isCompiled", &Rule::isCompiled,
                              "returns true if the rule is compiled (read-only)");
    cls.def_property_readonly("createdRightNodesID", &Rule::createdRightNodesID,
                              "returns right node corresponding to created darts (read-only)");
    cls.def_property_readonly("keptRightNodesID", &Rule::keptRightNodesID,
                              "returns right node corresponding to kept darts (read-only)");
    cls.def_property_readonly("deletedLeftNodesID", &Rule::deletedLeftNodesID,
                              "returns left node corresponding to deleted darts (read-only)");
    cls.def_property_readonly("countHooks", &Rule::countHooks,
                              "returns the number of hooks in the rule (read-only)");
    cls.def_property_readonly("hooks", &Rule::hooks,
                              "returns the list of hooks in the rule (read-only)");
    cls.def_property_readonly(
        "sizeCreated", [](const Rule& self) { return self.createdRightNodesID().size(); },
        "returns the size of the created darts (read-only)");
    cls.def_property_readonly(
        "sizeKept", [](const Rule& self) { return self.keptRightNodesID().size(); },
        "returns the size of the kept darts (read-only)");
    cls.def_property_readonly(
        "sizeDeleted", [](const Rule& self) { return self.deletedLeftNodesID().size(); },
        "returns the size of the deleted darts (read-only)");
    cls.def(
        "isCreated", [](const Rule& self, std::uint32_t id) { return self.isCreated(id); },
        "returns true if the rule is created (read-only)");
    cls.def(
        "isKept", [](const Rule& self, std::uint32_t id) { return self.isKept(id); },
        "returns true if the rule is kept (read-only)");
    cls.def(
        "isDeleted", [](const Rule& self, std::uint32_t id) { return self.isDeleted(id); },
        "returns true if the rule is deleted (read-only)");
    cls.def(
        "assoc", [](const Rule& self, std::uint32_t id) { return self.assoc(id); },
        "returns the association right node to left node of the rule (read-only)");

    const char* leftDoc = "returns the left node of the rule (read-only)";
    const char* rightDoc = "returns the right node of the rule (read-only)";
    cls.def("leftnode", &view<LeftNodeObject, std::uint32_t>, leftDoc);
    cls.def("rightnode", &view<RightNodeObject, std::uint32_t>, rightDoc);
    cls.def("leftnode", &view<LeftNodeObject, std::string>, leftDoc);
    cls.def("rightnode", &view<RightNodeObject, std::string>, rightDoc);
    cls.def_property_readonly(
        "leftnodes", [](const Rule& self) { return copies(self.leftnodes()); },
        "returns the list of left nodes of the rule (read-only)");
    cls.def_property_readonly(
        "rightnodes", [](const Rule& self) { return copies(self.rightnodes()); },
        "returns the list of right nodes of the rule (read-only)");
    cls.def_property_readonly(
        "leftsize", [](const Rule& self) { return self.leftnodes().size(); },
        "returns the size of the left nodes (read-only)");
    cls.def_property_readonly(
        "rightsize", [](const Rule& self) { return self.rightnodes().size(); },
        "returns the size of the right nodes (read-only)");

    cls.def(
        "linkLeftNodes",
        [](Rule& self, Dim dim, NotNone<LeftNodeObject> a, NotNone<LeftNodeObject> b) {
            self.linkLeftNodes(dim, a->node().id, b->node().id);
        },
        py::arg("dim"), py::arg("lid1"), py::arg("lid2"),
        "link two left nodes along dimension dim");
    cls.def(
        "linkLeftNodes",
        [](Rule& self, Dim dim, NotNone<LeftNodeObject> a) {
            self.linkLeftNodes(dim, a->node().id);
        },
        py::arg("dim"), py::arg("lid"), "make a loop on a left node along dimension dim");
    cls.def(
        "linkRightNodes",
        [](Rule& self, Dim dim, NotNone<RightNodeObject> a, NotNone<RightNodeObject> b) {
            self.linkRightNodes(dim, a->node().id, b->node().id);
        },
        py::arg("dim"), py::arg("rid1"), py::arg("rid2"),
        "link two right nodes along dimension dim");
    cls.def(
        "linkRightNodes",
        [](Rule& self, Dim dim, NotNone<RightNodeObject> a) {
            self.linkRightNodes(dim, a->node().id);
        },
        py::arg("dim"), py::arg("rightnode"), "make a loop on a right node along dimension dim");

    cls.def(
        "match",
        [](const Rule& self, NotNone<AtomicInputHooks> hooks) { return self.match(*hooks); },
        py::arg("hooks"), "returns the match of the rule with the given hooks");
    cls.def("compile", &Rule::compile, "compiles the rule");
    cls.def(
        "make_leftnode",
        [](Rule& self, std::string name, std::vector<int> orbit, bool isHook,
           NotNone<RuleNodeMultiplicity> mult) {
            return LeftNodeObject(
                self.makeLeftNode(std::move(name), std::move(orbit), isHook, *mult));
        },
        py::arg("name"), py::arg("list"), py::arg("isHook") = false, multArgument(),
        "creates a left node");
    cls.def(
        "make_rightnode",
        [](Rule& self, std::string name, std::vector<int> orbit,
           const std::vector<NotNone<Expression3D>>& exprs, NotNone<RuleNodeMultiplicity> mult) {
            const std::vector<Expression3D> copies(exprs.begin(), exprs.end());
            return RightNodeObject(
                self.makeRightNode(std::move(name), std::move(orbit), copies, *mult));
        },
        py::arg("name"), py::arg("orbit"), py::arg_v("exprs", std::vector<Expression3D>{}, "[]"),
        multArgument(), "creates a right node");
}

} // namespace gorvin::python
