// Expression3D, the sixteen per-orbit expression classes, AllExpressions3D, and the evaluation of
// an expression group (gorvin/rules/expression_group.h).
#include "embedding_slots.h"
#include "python_rules.h"
#include "registry.h"

#include "gorvin/core/orbit.h"

#include <cstddef>
#include <iostream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace gorvin::python {

namespace {

using ExpressionClass = py::class_<Expression3D>;
using ExpressionTableClass = py::class_<ExpressionTable>;

// The C++ type behind per-orbit class number I.
template <std::size_t I> struct Expr3DHelper : Expression3D {};

// "Expr3DEbd" and the slot's digits, "Dart" for the dart itself.
std::string helperName(const char* digits) {
    return std::string("Expr3DEbd") + (*digits != '\0' ? digits : "Dart");
}

template <std::size_t I> void bindHelper(py::module_& m) {
    using Helper = Expr3DHelper<I>;
    py::class_<Helper, Expression3D> cls(m, helperName(kSlotDigits[I]).c_str(),
                                         "expression for a specific orbit.");
    cls.def(py::init([](std::string name, py::function fct) {
                return Helper{{std::move(name), slotDims(kSlotDigits[I]), std::move(fct)}};
            }),
            py::arg("name"), py::arg("fct"),
            "creates an expression with an ebdname and a function");
    cls.def_property_readonly(
        "name", [](const Helper& self) { return self.name; },
        "returns the ebdname of the expression (read-only)");
    cls.def_property_readonly(
        "orbit", [](const Helper& self) { return Orbit(self.orbit); },
        "returns the orbit of the expression (read-only)");
    cls.def_property_readonly(
        "fct", [](const Helper& self) { return self.fct; },
        "returns the function of the expression (read-only)");
    auto text = [](const Helper& self) {
        return "Expression3D: name=" + self.name + ", orbit=" + dimensionText(self.orbit);
    };
    cls.def("__repr__", text);
    cls.def("__str__", text);
}

template <std::size_t... I> void bindHelpers(py::module_& m, std::index_sequence<I...>) {
    (bindHelper<I>(m), ...);
}

// Serialises group evaluations across the process. Re-entrant, so a callable may evaluate again
// on its own thread; another thread waits for it with the interpreter lock released.
class EvaluationLock {
  public:
    EvaluationLock() {
        if (mutex().try_lock()) return;
        py::gil_scoped_release release;
        mutex().lock();
    }
    ~EvaluationLock() { mutex().unlock(); }
    EvaluationLock(const EvaluationLock&) = delete;
    EvaluationLock& operator=(const EvaluationLock&) = delete;

  private:
    static std::recursive_mutex& mutex() {
        static std::recursive_mutex instance;
        return instance;
    }
};

} // namespace

py::dict evaluate(const Group& group, const Context& context) {
    EvaluationLock lock;
    py::dict result;
    // The callables may keep their argument: it owns a copy of the context.
    const auto shared = std::make_shared<Context>(context);
    try {
        for (const Expression3D& expr : group.exprs)
            result[py::str(expr.name)] = expr.fct(shared);
    } catch (const std::exception& error) {
        std::cerr << "[ERROR] Exception occurred while evaluating expressions: " << error.what()
                  << std::endl;
        throw;
    }
    return result;
}

void declareExpression(py::module_& m) {
    ExpressionClass(m, "Expression3D",
                    "A class representing a computational expression of a specific embedding");
}

void bindExpression(py::module_& m) {
    auto cls = classOf<ExpressionClass>(m, "Expression3D");
    cls.def(py::init([](std::string name, const Orbit& orbit, py::function fct) {
        return Expression3D{std::move(name), orbit.dims(), std::move(fct)};
    }));
    cls.def(py::init([](std::string name, std::vector<int> orbit, py::function fct) {
        return Expression3D{std::move(name), std::move(orbit), std::move(fct)};
    }));
    cls.def_property_readonly("name", [](const Expression3D& self) { return self.name; });
    cls.def_property_readonly("orbit", [](const Expression3D& self) { return Orbit(self.orbit); });
}

void bindExpressionHelpers(py::module_& m) {
    bindHelpers(m, std::make_index_sequence<kSlots>{});
}

void declareExpressionTable(py::module_& m) {
    ExpressionTableClass(m, "AllExpressions3D",
                         "A class representing a collection of all 3D expressions (internal use)");
}

void bindExpressionTable(py::module_& m) {
    auto cls = classOf<ExpressionTableClass>(m, "AllExpressions3D");
    cls.def(py::init<>());
    cls.def("__len__", [](const ExpressionTable& self) { return self.groups.size(); });
    cls.def(
        "__getitem__",
        [](const ExpressionTable& self, std::size_t i) -> py::object {
            if (i >= self.groups.size()) throw "not identified expressions";
            if (!self.groups[i]) return py::none();
            return py::cpp_function([group = *self.groups[i]](const Context& context) {
                return evaluate(group, context);
            });
        },
        py::arg("i"));
}

} // namespace gorvin::python
