// The grid workload on the peer library's 3-dimensional generalized map, written the way its own
// algorithms are: marks for visited darts, one dart per cell, and a per-dart info field where a
// dart needs a number (the compact vertex number of geometry extraction).
#include "harness.h"

#include <CGAL/Generalized_map.h>

#include <cstdint>
#include <vector>

namespace {

struct Items {
    template <class Refs> struct Dart_wrapper { using Dart_info = std::uint32_t; };
};

using GMap = CGAL::Generalized_map<3, Items>;
using Dart = GMap::Dart_handle;

// Counts the darts an orbit range visits.
template <class Range> std::uint64_t countOf(Range&& range) {
    std::uint64_t count = 0;
    for (auto it = range.begin(), end = range.end(); it != end; ++it)
        ++count;
    return count;
}

// Marks the i-cell of dart: the basic cell iterator marks every dart it reaches.
template <unsigned i> void markCell(GMap& gm, Dart dart, GMap::size_type mark) {
    for (auto d = gm.darts_of_cell_basic<i>(dart, mark).begin(); d.cont(); ++d)
        continue;
}

// Vertex representatives in dart order and every face walked from its first dart, each corner
// giving the compact number of its vertex.
struct Geometry {
    std::vector<Dart> vertices;
    std::vector<std::vector<std::uint32_t>> faces;
};

Geometry extractGeometry(GMap& gm) {
    Geometry geometry;
    const auto mark = gm.get_new_mark();
    for (auto it = gm.darts().begin(), end = gm.darts().end(); it != end; ++it) {
        if (gm.is_marked(it, mark)) continue;
        const auto number = static_cast<std::uint32_t>(geometry.vertices.size());
        for (auto d = gm.darts_of_cell_basic<0>(it, mark).begin(); d.cont(); ++d)
            gm.info(d) = number;
        geometry.vertices.push_back(it);
    }
    gm.negate_mark(mark); // every dart is marked: this unmarks them all at once
    for (auto it = gm.darts().begin(), end = gm.darts().end(); it != end; ++it) {
        if (gm.is_marked(it, mark)) continue;
        markCell<2>(gm, it, mark);
        std::vector<std::uint32_t> face;
        Dart d = it;
        do {
            face.push_back(gm.info(d));
            d = gm.alpha<0, 1>(d);
        } while (d != Dart(it));
        geometry.faces.push_back(std::move(face));
    }
    gm.negate_mark(mark);
    gm.free_mark(mark);
    return geometry;
}

} // namespace

int main(int argc, char** argv) {
    const std::uint32_t k = bench::gridSize(argc, argv);
    const std::uint64_t n = bench::gridDarts(k);
    bench::Report report;
    GMap gm;
    std::vector<Dart> darts;

    report.measure("build", [&] {
        darts.reserve(n);
        for (std::uint64_t i = 0; i < n; ++i)
            darts.push_back(gm.create_dart());
        bench::forEachGridLink(k, [&](unsigned dim, std::uint32_t a, std::uint32_t b) {
            gm.basic_link_alpha(darts[a], darts[b], dim);
        });
        return gm.number_of_darts();
    });
    // Only the first dart of each face is needed from here on.
    std::vector<Dart> faces(n / 8);
    for (std::uint64_t f = 0; f < n / 8; ++f)
        faces[f] = darts[8 * f];
    std::vector<Dart>().swap(darts);
    report.resident("build", n);

    report.measure("face orbits", [&] {
        std::uint64_t visited = 0;
        for (Dart face : faces)
            visited += countOf(gm.darts_of_orbit<0, 1>(face));
        return visited;
    });
    report.measure("vertex islet", [&] { return countOf(gm.one_dart_per_cell<0>()); });
    report.measure("component islet", [&] { return countOf(gm.one_dart_per_cell<3>()); });
    report.measure("surface orbit", [&] { return countOf(gm.darts_of_orbit<0, 1, 2>(faces[0])); });
    report.measure(
        "extraction", [&] { return extractGeometry(gm); }, bench::geometryChecksum<Geometry>);
    report.measure("triangulation", [&] {
        for (Dart face : faces)
            gm.insert_cell_0_in_cell_2(face);
        return gm.number_of_darts();
    });
    report.peakResident("peak", gm.number_of_darts());
    return 0;
}
