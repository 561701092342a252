// GeometryCommon (geometry_common.h): five NumPy arrays and the kernel's view of
// their memory. NumPy is loaded on the first call that needs it, never at import.
#include "geometry_common.h"

#include "python_types.h"
#include "registry.h"

#include <pybind11/numpy.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace gorvin::python {

namespace {

struct GeometryCommon {
    py::array positions, normals, texcoords, colors, orient;
    GeometryBuffers buffers;
};

using GeometryCommonClass = py::class_<GeometryCommon>;
using NumPy = py::detail::npy_api;

// NumPy's array-from-object asking for the element type and C order but no forced cast: an array
// that already conforms comes back unchanged, nested lists are converted, and a cast that is not
// safe fails with NumPy's own error.
py::array asArray(py::handle value, py::dtype type) {
    PyObject* array = NumPy::get().PyArray_FromAny_(
        value.ptr(), type.release().ptr(), 0, 0,
        NumPy::NPY_ARRAY_C_CONTIGUOUS_ | NumPy::NPY_ARRAY_ENSUREARRAY_, nullptr);
    if (!array) throw py::error_already_set();
    return py::reinterpret_steal<py::array>(array);
}

// Rows of `columns` values (asArray made them float32).
void requireRows(const py::array& array, py::ssize_t columns, const char* message) {
    if (array.ndim() != 2 || array.shape(1) != columns) throw std::runtime_error(message);
}

float* floats(py::array& array) {
    return static_cast<float*>(array.mutable_data());
}

GeometryCommon fromArrays(const py::dict& ebds) {
    py::array orient = asArray(ebds["orient"], py::dtype::of<bool>());
    py::array colors = asArray(ebds["colors"], py::dtype::of<float>());
    py::array texcoords = asArray(ebds["texcoords"], py::dtype::of<float>());
    py::array normals = asArray(ebds["normals"], py::dtype::of<float>());
    py::array positions = asArray(ebds["positions"], py::dtype::of<float>());

    requireRows(positions, 3, "Positions array must be of shape (n, 3) and dtype float32");
    requireRows(normals, 3, "Normals array must be of shape (n, 3) and dtype float32");
    requireRows(texcoords, 2, "Texcoords array must be of shape (n, 2) and dtype float32");
    requireRows(colors, 4, "Colors array must be of shape (n, 4) and dtype float32");
    if (orient.ndim() != 1)
        throw std::runtime_error("Orient array must be of shape (n,) and dtype bool");

    const py::ssize_t n = positions.shape(0);
    for (const py::array* array : {&normals, &texcoords, &colors, &orient})
        if (array->shape(0) != n)
            throw std::runtime_error("All geometry arrays must share the same vertex count n");
    for (const py::array* array : {&positions, &normals, &texcoords, &colors, &orient})
        if (!array->writeable())
            throw std::runtime_error(
                "All geometry arrays must be writable for bidirectional C++/Python updates");

    const GeometryBuffers buffers = GeometryBuffers::shared(
        floats(positions), floats(normals), floats(texcoords), floats(colors),
        static_cast<bool*>(orient.mutable_data()), static_cast<std::uint64_t>(n));
    return GeometryCommon{std::move(positions), std::move(normals), std::move(texcoords),
                          std::move(colors),    std::move(orient),  buffers};
}

GeometryCommon empty() {
    const auto none = [](py::dtype type) { return py::array(std::move(type), py::ssize_t{0}); };
    return GeometryCommon{none(py::dtype::of<float>()), none(py::dtype::of<float>()),
                          none(py::dtype::of<float>()), none(py::dtype::of<float>()),
                          none(py::dtype::of<bool>()),  GeometryBuffers{}};
}

std::string text(const GeometryCommon& g) {
    const auto flag = [](bool b) { return b ? "true" : "false"; };
    return "GeometryCommon(vertex_count=" + std::to_string(g.buffers.vertexCount) +
           ", simd_aligned_16=" + flag(g.buffers.simdAligned16) +
           ", simd_aligned_32=" + flag(g.buffers.simdAligned32) + ")";
}

} // namespace

void declareGeometryCommon(py::module_& m) {
    GeometryCommonClass(m, "GeometryCommon",
                        "A class representing common geometry data for a GMap3D - contains "
                        "user-defined embeddings for position, normal, color, texture coordinates, "
                        "and orientation");
}

void bindGeometryCommon(py::module_& m) {
    auto cls = classOf<GeometryCommonClass>(m, "GeometryCommon");
    cls.def(py::init(&empty), "creates an empty GeometryCommon object");
    // A copy holds the same five arrays, so its data addresses are the source's.
    cls.def(py::init<const GeometryCommon&>(), py::arg("geometry"),
            "creates a copy of a GeometryCommon object");
    cls.def(py::init(&fromArrays), py::arg("ebds"),
            "creates a GeometryCommon object from a dictionary of embeddings: { 'position': "
            "[[x1,y1,z1], [x2,y2,z2]], 'normal': [[nx1,ny1,nz1], [nx2,ny2,nz2]], 'color': "
            "[[r1,g1,b1, a1], [r2,g2,b2, a2]], 'texcoord': [[u1, v1], [u2, v2]], 'orient': "
            "[orient1, orient2] }");
    cls.def("__str__", &text, "returns a string representation of the GeometryCommon");
    cls.def("__repr__", &text, "returns a string representation of the GeometryCommon");
}

} // namespace gorvin::python
