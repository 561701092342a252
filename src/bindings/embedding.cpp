// Embedding descriptors, Ebd, and the embedding members of the dart forms and GMap3D.
// Placeholder: the members of these classes are not bound yet.
#include "registry.h"

namespace gorvin::python {

namespace {
struct EbdPlaceholder {};
} // namespace

void declareEbd(py::module_& m) {
    py::class_<EbdPlaceholder>(m, "Ebd", "A class representing an embedding in the context of 3D modeling - allows associating data with darts in a GMap");
}

void bindEbd(py::module_&) {}

void bindEmbeddingDescriptors(py::module_&) {}

void bindRawDartEmbeddings(py::module_&) {}

void bindDartEmbeddings(py::module_&) {}

void bindGMapEmbeddings(py::module_&) {}

} // namespace gorvin::python
