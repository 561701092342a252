// RowPattern3D (row_pattern.h): a read-only view of one row of an application.
#include "python_rules.h"
#include "registry.h"

#include "row_pattern.h"

namespace gorvin::python {

namespace {
using Row = RowPattern<DictEmbedding::Value>;
using RowClass = py::class_<Row>;
} // namespace

void declareRowPattern(py::module_& m) {
    RowClass(m, "RowPattern3D",
             "A class representing a row pattern in the context of rule transformation - used to "
             "define explicit ith instances of rule nodes (topological variables)");
}

void bindRowPattern(py::module_& m) {
    auto cls = classOf<RowClass>(m, "RowPattern3D");
    cls.def("rowid", [](const Row& self) { return self.rowid; });
    cls.def("opp", [](const Row& self, std::size_t i) { return Row::entry(self.opp, i); });
    cls.def("getID", &Row::getID);
    cls.def("leftdartID",
            [](const Row& self, std::size_t i) { return Row::entry(self.leftDarts, i); });
    cls.def("rightdartID",
            [](const Row& self, std::size_t i) { return Row::entry(self.rightDarts, i); });
    cls.def("leftsize", [](const Row& self) { return self.leftDarts.size(); });
    cls.def("rightsize", [](const Row& self) { return self.rightDarts.size(); });
}

} // namespace gorvin::python
