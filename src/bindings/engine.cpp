// GMap3D.apply and applyRule (gorvin/rules/engine.h).
#include "embedding_slots.h"
#include "not_none.h"
#include "python_rules.h"
#include "registry.h"

#include "gorvin/rules/engine.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace gorvin::python {

namespace {

// The object behind a holder argument. None arrives as an empty holder; reference_cast_error sends
// dispatch on to the next overload, and in the end to the TypeError of arguments matching none.
template <class T> const T& given(const std::shared_ptr<T>& holder) {
    if (!holder) throw py::reference_cast_error();
    return *holder;
}

// Writes the line a kernel error names for standard error, if any.
void writeDiagnostic(Diagnostic diagnostic) {
    switch (diagnostic) {
    case Diagnostic::notEnoughHooks:
        std::cerr << "ERROR NOT ENOUGH HOOKS!!" << std::endl;
        break;
    case Diagnostic::notIsomorphHooks:
        std::cerr << "ERROR NOT ISOMORPH HOOKS!!" << std::endl;
        break;
    case Diagnostic::none:
        break;
    }
}

// Applications nest when an expression applies a rule; deeper nesting raises RecursionError, well
// before the C stack runs out in any build.
constexpr int kMaxNesting = 200;

class NestingGuard {
  public:
    NestingGuard() {
        if (depth() == kMaxNesting) {
            PyErr_SetString(PyExc_RecursionError,
                            "maximum recursion depth exceeded in nested rule applications");
            throw py::error_already_set();
        }
        ++depth();
    }
    ~NestingGuard() { --depth(); }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

  private:
    static int& depth() {
        thread_local int nesting = 0;
        return nesting;
    }
};

void run(const std::shared_ptr<Modeler>& modeler, const std::shared_ptr<GMap>& gmap,
         const std::shared_ptr<Rule>& rule, const InputHooks& hooks) {
    const NestingGuard nesting;
    given(modeler);
    given(gmap);
    given(rule);
    try {
        applyRule(modeler, gmap, rule, hooks,
                  [](const Group& group, const Context& context) -> py::object {
                      return evaluate(group, context);
                  });
    } catch (const GorvinException& error) {
        writeDiagnostic(error.diagnostic);
        throw;
    }
}

// The modeler that owns `gmap`; a G-map whose modeler is gone cannot be applied to.
std::shared_ptr<Modeler> ownerOf(const GMap& gmap) {
    auto modeler = gmap.modeler().lock();
    if (!modeler) throw GorvinException{};
    return modeler;
}

// One dart per hook node, taken from a dict of left-node names to dart ids, in the dict's order.
// A hook node that no key names keeps kNoLink.
// A key must name a hook node: the first left node of that name, if any, must be a hook.
AtomicInputHooks hooksFromNames(const Rule& rule, const py::dict& names) {
    std::vector<DartID> darts(rule.countHooks(), kNoLink);
    for (const auto& [key, value] : names) {
        const auto column = rule.hookColumn(py::cast<std::string>(key));
        if (!column) throw GorvinUnfoundLeftNodeExpcetion{};
        darts[*column] = py::cast<DartID>(value);
    }
    return AtomicInputHooks(std::move(darts));
}

// "<", each dimension and a blank, ">", then " -> oid=" and the orbit bitmask, slot by slot.
void printOrbitLines() {
    for (const char* digits : kSlotDigits)
        std::cout << dimensionText(slotDims(digits)) << " -> oid=" << slotOf(digits) << '\n';
    std::cout.flush();
}

} // namespace

void bindGMapApply(py::module_& m) {
    auto cls = classOf<GMapClass>(m, "GMap3D");
    cls.def(
        "apply",
        [](const Owner<GMap>& self, const std::shared_ptr<Rule>& rule,
           NotNone<AtomicInputHooks> hooks) { run(ownerOf(*self), self.holder(), rule, *hooks); },
        py::arg("rule"), py::arg_v("hooks", AtomicInputHooks(), "[]"), "apply a rule to the gmap");
    cls.def(
        "apply",
        [](const Owner<GMap>& self, const std::shared_ptr<Rule>& rule, std::vector<DartID> hooks) {
            run(ownerOf(*self), self.holder(), rule, AtomicInputHooks(std::move(hooks)));
        },
        py::arg("rule"), py::arg("hooks"), "apply a rule to the gmap");
    cls.def(
        "apply",
        [](const Owner<GMap>& self, const std::shared_ptr<Rule>& rule, const py::dict& hooks) {
            run(ownerOf(*self), self.holder(), rule, hooksFromNames(given(rule), hooks));
        },
        py::arg("rule"), py::arg("hooks") = py::dict(),
        "apply a rule to the gmap with hooks as a dictionary");
}

void bindApplyRule(py::module_& m) {
    m.def("applyRule",
          [](const std::shared_ptr<Modeler>& modeler, const std::shared_ptr<GMap>& gmap,
             const std::shared_ptr<Rule>& rule, NotNone<AtomicInputHooks> hooks) {
              run(modeler, gmap, rule, *hooks);
              printOrbitLines();
          });
}

} // namespace gorvin::python
