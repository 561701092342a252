// RuleResult (gorvin/rules/rule_result.h).
#include "python_types.h"
#include "registry.h"

#include "gorvin/rules/rule_result.h"

#include <cstdint>
#include <string>

namespace gorvin::python {

namespace {
using RuleResultClass = py::class_<RuleResult>;
} // namespace

void declareRuleResult(py::module_& m) {
    RuleResultClass(m, "RuleResult",
                    "A class representing the result of applying a rule in the context of 3D "
                    "modeling");
}

void bindRuleResult(py::module_& m) {
    auto cls = classOf<RuleResultClass>(m, "RuleResult");
    cls.def(py::init<std::uint64_t, std::uint64_t>(), py::arg("cols"), py::arg("rows"));
    cls.def("__call__", &RuleResult::operator(), py::arg("col"), py::arg("row"),
            "returns the value of the rule result for a given id");
    cls.def("sizeCol", &RuleResult::sizeCol, "returns the number of columns");
    cls.def("sizeRow", &RuleResult::sizeRow, "returns the number of rows");
    auto text = [](const RuleResult& self) {
        return "RuleResult<cols=" + std::to_string(self.sizeCol()) +
               ";rows=" + std::to_string(self.sizeRow()) + ">";
    };
    cls.def("__repr__", text);
    cls.def("__str__", text);
}

} // namespace gorvin::python
