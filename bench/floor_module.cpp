// The floor of the Python benchmark: bound methods that take the arguments of GMap3D.alpha and
// GMap3D.linkAlpha, do nothing and return the same kind of result (a new value handle, None).
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>

namespace py = pybind11;

namespace {

// Laid out like a dart handle: a weak owner and two ids.
struct Handle {
    std::weak_ptr<void> owner;
    std::uint32_t gmapid = 0;
    std::uint32_t dartid = 0;
};

struct Floor {
    std::shared_ptr<int> owner = std::make_shared<int>(0);

    Handle alpha(std::uint32_t id, std::uint32_t) const { return Handle{owner, 0, id}; }
    void linkAlpha(std::uint32_t, std::uint32_t, std::uint32_t) {}
    void loop(std::uint32_t, std::uint32_t) {}
};

} // namespace

PYBIND11_MODULE(gorvin_bench_floor, m) {
    py::class_<Handle>(m, "Handle");
    py::class_<Floor>(m, "Floor")
        .def(py::init<>())
        .def("linkAlpha", &Floor::linkAlpha, py::arg("dim"), py::arg("a"), py::arg("b"))
        .def("linkAlpha", &Floor::loop, py::arg("dim"), py::arg("a"))
        .def("alpha", &Floor::alpha, py::arg("id"), py::arg("dim"));
}
