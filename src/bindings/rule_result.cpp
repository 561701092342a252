// RuleResult (rule_result.h).
#include "python_types.h"
#include "registry.h"

#include "rule_result.h"

#include <sys/sysinfo.h>

#include <cstdint>
#include <limits>
#include <string>

namespace gorvin::python {

namespace {

using RuleResultClass = py::class_<RuleResult>;

// The most memory one table may take: what the kernel commits under strict accounting at its
// default ratio, half the physical memory plus the swap. A larger table is refused before anything
// is allocated, rather than filled until the machine runs out.
std::uint64_t tableLimit() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return std::numeric_limits<std::uint64_t>::max();
    return (std::uint64_t{info.totalram} / 2 + info.totalswap) * info.mem_unit;
}

RuleResult makeRuleResult(std::uint64_t cols, std::uint64_t rows) {
    const std::uint64_t cells = tableLimit() / sizeof(DartID);
    if (rows != 0 && cols > cells / rows) {
        const std::string size = std::to_string(cols) + " x " + std::to_string(rows);
        PyErr_SetString(PyExc_MemoryError,
                        ("a RuleResult of " + size + " cells does not fit in memory").c_str());
        throw py::error_already_set();
    }
    return RuleResult(cols, rows);
}

} // namespace

void declareRuleResult(py::module_& m) {
    RuleResultClass(m, "RuleResult",
                    "A class representing the result of applying a rule in the context of 3D "
                    "modeling");
}

void bindRuleResult(py::module_& m) {
    auto cls = classOf<RuleResultClass>(m, "RuleResult");
    cls.def(py::init(&makeRuleResult), py::arg("cols"), py::arg("rows"));
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
