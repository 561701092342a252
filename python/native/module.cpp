// gorvinpy._native: whole-array work on the G-maps of gorvinpy_bin, whose registered types it
// shares (both are built from the same kernel headers with the same pybind11).
#include "native.h"

#include <string>

namespace gorvin::native {

std::vector<DartID> checkedIds(const GMap& gmap, const Ids& ids) {
    if (ids.ndim() != 1) throw py::value_error("dart ids must be a one-dimensional array");
    const std::int64_t* values = ids.data();
    std::vector<DartID> out(static_cast<std::size_t>(ids.shape(0)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (values[i] < 0 || static_cast<std::uint64_t>(values[i]) >= gmap.size())
            throw py::index_error("dart " + std::to_string(values[i]) + " is not a slot of a G-map of " +
                                  std::to_string(gmap.size()) + " darts");
        out[i] = static_cast<DartID>(values[i]);
    }
    return out;
}

} // namespace gorvin::native

PYBIND11_MODULE(_native, m) {
    m.doc() = "Whole-array operations on the G-maps of gorvinpy_bin.";
    pybind11::module_::import("gorvinpy_bin");
    gorvin::native::bindBulk(m);
    gorvin::native::bindPositions(m);
    gorvin::native::bindStorage(m);
}
