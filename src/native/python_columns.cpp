// Columns computed by Python (python_columns.h).
#include "python_columns.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace gorvin::native {

namespace {

using python::Context;

// A column whose rows have their own values.
Column ownValues(std::vector<py::object> values) {
    Column column;
    column.of.resize(values.size());
    for (std::size_t r = 0; r < values.size(); ++r)
        column.of[r] = column.add(std::move(values[r]));
    return column;
}

// What a `batch` method returned, one value per row: a 2-d array gives a tuple of floats per row,
// a 1-d array its items as Python numbers, any other sequence its items.
std::vector<py::object> valuesOf(const py::object& result, std::size_t count,
                                 const std::string& name) {
    std::vector<py::object> out(count);
    const auto wrongCount = [&](std::size_t got) {
        return py::value_error("batch expression '" + name + "' returned " + std::to_string(got) +
                               " values for " + std::to_string(count) + " rows");
    };
    if (py::isinstance<py::array>(result) && py::cast<py::array>(result).ndim() == 2) {
        const auto table = py::array_t<double, kIdArray>::ensure(result);
        if (!table) throw py::error_already_set();
        if (static_cast<std::size_t>(table.shape(0)) != count) throw wrongCount(table.shape(0));
        const auto width = static_cast<std::size_t>(table.shape(1));
        for (std::size_t r = 0; r < count; ++r)
            out[r] = tupleOf(table.data() + r * width, width);
        return out;
    }
    const py::object items = py::isinstance<py::array>(result) ? result.attr("tolist")() : result;
    const auto values = items.cast<py::sequence>();
    if (values.size() != count) throw wrongCount(values.size());
    for (std::size_t r = 0; r < count; ++r)
        out[r] = values[r];
    return out;
}

} // namespace

Column RowsOf::batch(const py::object& method, const std::string& name) const {
    const RowTable& rows = matched.rows;
    py::array_t<DartID> left(
        {static_cast<py::ssize_t>(rows.count), static_cast<py::ssize_t>(rows.leftSize)});
    std::copy(rows.left.data(), rows.left.data() + rows.count * rows.leftSize, left.mutable_data());
    py::array_t<DartID> right(static_cast<py::ssize_t>(rows.count));
    for (std::size_t r = 0; r < rows.count; ++r)
        right.mutable_data()[r] = rightDart(r);
    return ownValues(valuesOf(method(python::pinned(gmap), left, right), rows.count, name));
}

Column RowsOf::perRow(const py::object& fct) const {
    const RowTable& rows = matched.rows;
    const std::uint32_t source = matched.plan.source[node];
    std::vector<py::object> out(rows.count);
    for (std::size_t r = 0; r < rows.count; ++r) {
        const DartID* left = rows.left.data() + r * rows.leftSize;
        auto context = std::make_shared<Context>(
            Context{modeler, rule, gmap, std::vector<DartID>(left, left + rows.leftSize),
                    static_cast<std::uint32_t>(r), node, source == kNoLink ? kNoLink : left[source],
                    rightDart(r)});
        out[r] = fct(py::cast(std::move(context)));
    }
    return ownValues(std::move(out));
}

} // namespace gorvin::native
