// Geometry extraction: vertex representatives and faces as corner lists, read from a dart table.
// A cell is a component over a set of dimensions, named by its smallest live dart id. Links that
// name a deleted slot or no slot read as free links, and a face walk ends before it would repeat a
// dart, so every call ends and stays inside the table whatever the links hold.
#pragma once

#include "gorvin/core/gmap.h"
#include "gorvin/core/labelling.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/prefault.h"
#include "gorvin/core/types.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

namespace gorvin {

using FaceList = std::vector<std::vector<DartID>>;

struct CompactedGeometry {
    std::vector<DartID> vertices; // vertex representatives, increasing; position = compact number
    FaceList faces;               // per face, the compact numbers of the vertices at its corners
};

// One step of a face walk: alpha1(alpha0(d)).
inline DartID nextCorner(const DartTable& darts, DartID d) {
    return liveNeighbour(darts, liveNeighbour(darts, d, 0), 1);
}

// The cells over some dimensions: their representatives in increasing order, and per slot below
// the bound the position of its cell in that order (set for live darts only).
struct Cells {
    std::vector<DartID> representatives;
    std::vector<DartID> cellOf;
    bool involutive = true; // each link over the dimensions is returned by its target
};

namespace detail {

// Turns each live dart's entry, in increasing order, into the position of its cell: an entry
// equal to the dart starts a new cell; any other names an earlier dart of the same cell, whose
// entry is a position already.
inline void numberCells(const DartTable& darts, Cells& cells) {
    std::vector<DartID>& entry = cells.cellOf;
    cells.representatives.clear();
    for (DartID i = 0; i < entry.size(); ++i) {
        if (!darts[i].exists()) continue;
        if (entry[i] == i) {
            entry[i] = static_cast<DartID>(cells.representatives.size());
            cells.representatives.push_back(i);
        } else {
            entry[i] = entry[entry[i]];
        }
    }
}

// Links that are involutions: each cell is the component of its smallest live dart, met first in
// increasing order and numbered then; its darts are reached by a depth-first walk that numbers
// them as it meets them. Gives up, returning false, at a link that its target does not return or
// that leaves the darts below the bound, since cells are then what the links reach rather than
// what they join.
template <class Dims>
bool joinCells(const DartTable& darts, const Dims& dims, std::size_t bound, Cells& cells) {
    std::vector<DartID>& cellOf = cells.cellOf;
    cellOf.reserve(bound);
    prefaultPages(cellOf.data(), bound * sizeof(DartID));
    cellOf.assign(bound, kNoPosition);
    cells.representatives.clear();
    std::vector<DartID> pending;
    for (DartID seed = 0; seed < bound; ++seed) {
        if (cellOf[seed] != kNoPosition || !darts[seed].exists()) continue;
        const auto cell = static_cast<DartID>(cells.representatives.size());
        cells.representatives.push_back(seed);
        cellOf[seed] = cell;
        pending.assign(1, seed);
        while (!pending.empty()) {
            const DartID x = pending.back();
            pending.pop_back();
            for (Dim d : dims) {
                const DartID y = liveNeighbour(darts, x, d);
                if (y >= bound || liveNeighbour(darts, y, d) != x) return false;
                if (cellOf[y] != kNoPosition) continue;
                cellOf[y] = cell;
                pending.push_back(y);
            }
        }
    }
    return true;
}

// Any links: a dart's representative is the smallest live id it reaches (the fixed point of
// repeated label sweeps), and a representative is its own label.
template <class Dims>
void reachCells(const DartTable& darts, const Dims& dims, std::size_t bound, Cells& cells) {
    std::vector<DartID>& labels = cells.cellOf;
    assignOwnIds(labels, bound);
    const auto degree = static_cast<unsigned>(dims.size());
    minimumReachableLabels(labels, degree, [&](std::uint32_t i, unsigned k) {
        if (!darts[i].exists()) return kNoPosition;
        const DartID j = liveNeighbour(darts, i, dims[k]);
        return j == i || j >= bound ? kNoPosition : j;
    });
    numberCells(darts, cells);
}

} // namespace detail

// The cells over dims (a std::array or std::vector of Dim) of the live darts below the bound
// (all darts by default), joined by a walk over the links when they are involutions.
template <class Dims>
Cells cells(const DartTable& darts, const Dims& dims,
            std::size_t bound = std::numeric_limits<std::size_t>::max()) {
    bound = std::min(bound, darts.size());
    Cells result;
    if (!detail::joinCells(darts, dims, bound, result)) {
        result.involutive = false;
        detail::reachCells(darts, dims, bound, result);
    }
    return result;
}

// Walks each face from its representative: r, w(r), w(w(r)), ... up to just before the walk
// returns to r or, when the links are not involutions, meets a dart it already met.
// visit(w, d) for every dart d met by walk w, in order, then done(w).
template <class Visit, class Done>
void forEachFaceWalk(const DartTable& darts, const Cells& faces, const Visit& visit,
                     const Done& done) {
    // the walk that last met each dart; on involutions w is a permutation and needs none
    std::vector<std::uint32_t> walkOf(faces.involutive ? 0 : darts.size(), kNoPosition);
    for (std::uint32_t w = 0; w < faces.representatives.size(); ++w) {
        const DartID start = faces.representatives[w];
        DartID d = start;
        do {
            if (!faces.involutive) walkOf[d] = w;
            visit(w, d);
            d = nextCorner(darts, d);
        } while (d != start && (faces.involutive || walkOf[d] != w));
        done(w);
    }
}

namespace detail {

// The faces' walks, corner(d) stored for every dart d met.
template <class Corner>
FaceList walkFaces(const DartTable& darts, const Cells& faces, const Corner& corner) {
    FaceList result;
    result.reserve(faces.representatives.size());
    std::vector<DartID> walk;
    forEachFaceWalk(
        darts, faces, [&](std::uint32_t, DartID d) { walk.push_back(corner(d)); },
        [&](std::uint32_t) {
            result.emplace_back(walk.begin(), walk.end());
            walk.clear();
        });
    return result;
}

template <std::size_t K>
FaceList faceWalks(const DartTable& darts, const std::array<Dim, K>& dims) {
    return walkFaces(darts, cells(darts, dims), [](DartID d) { return d; });
}

} // namespace detail

// Faces of the 3-map (components over 0, 1, 3) by increasing representative, each the dart ids
// of the walk from its representative.
template <class Policy> FaceList extractFaces3D(const IGMap<Policy>& gmap) {
    return detail::faceWalks(gmap.darts(), std::array<Dim, 3>{0, 1, 3});
}

// The same with the faces of the 2-map (components over 0, 1).
template <class Policy> FaceList extractFaces2D(const IGMap<Policy>& gmap) {
    return detail::faceWalks(gmap.darts(), std::array<Dim, 2>{0, 1});
}

namespace detail {

// Surfaces, where alpha3 is free at every live dart and the links over 0, 1, 2 are involutions:
// a vertex is then the <1,2> orbit of its darts and a face the <0,1> orbit, each a path or a
// cycle alternating its two dimensions, so both are walked without a labelling. Gives the same
// geometry as the cells do, or returns false (the output unspecified) at the first link that
// breaks those conditions.
class SurfaceGeometry {
  public:
    explicit SurfaceGeometry(const DartTable& darts) : darts_(darts) {}

    bool extract(CompactedGeometry& out) {
        return numberVertices(out.vertices) && walkFaces(out.faces);
    }

  private:
    // Numbers the <1,2> orbits by increasing smallest dart, the number of each dart in vertexOf_.
    bool numberVertices(std::vector<DartID>& representatives) {
        vertexOf_.reserve(darts_.size());
        prefaultPages(vertexOf_.data(), darts_.size() * sizeof(DartID));
        vertexOf_.assign(darts_.size(), kNoPosition);
        for (DartID seed = 0; seed < darts_.size(); ++seed) {
            if (vertexOf_[seed] != kNoPosition || !darts_[seed].exists()) continue;
            const auto vertex = static_cast<DartID>(representatives.size());
            representatives.push_back(seed);
            vertexOf_[seed] = vertex;
            const Walked first = walkFrom(seed, 1, vertex);
            if (first == Walked::broken) return false;
            if (first == Walked::toEnd && walkFrom(seed, 2, vertex) == Walked::broken) return false;
        }
        return true;
    }

    enum class Walked { toEnd, aroundCycle, broken };

    // Walks from seed alternating dimensions 1 and 2, starting with `dim`, numbering each dart met.
    Walked walkFrom(DartID seed, Dim dim, DartID vertex) {
        DartID x = seed;
        for (;;) {
            if (liveNeighbour(darts_, x, 3) != x) return Walked::broken;
            const DartID y = liveNeighbour(darts_, x, dim);
            if (liveNeighbour(darts_, y, dim) != x) return Walked::broken;
            if (y == x) return Walked::toEnd;
            if (y == seed) return Walked::aroundCycle;
            if (vertexOf_[y] != kNoPosition) return Walked::broken;
            vertexOf_[y] = vertex;
            x = y;
            dim = 3 - dim;
        }
    }

    // The faces by increasing smallest dart, each walked as walkFaces does; a bit per dart marks
    // the walked darts and their alpha0 neighbours, which cover the <0,1> orbit. With alpha0 and
    // alpha1 involutions the step is a permutation, so each walk returns to its start; a walk
    // longer than the table would mean otherwise, and gives up.
    bool walkFaces(FaceList& faces) {
        std::vector<std::uint64_t> met((darts_.size() + 63) / 64, 0);
        const auto mark = [&](DartID x) { met[x / 64] |= std::uint64_t{1} << (x % 64); };
        std::vector<DartID> walk;
        std::size_t steps = 0;
        for (DartID start = 0; start < darts_.size(); ++start) {
            if ((met[start / 64] >> (start % 64) & 1) != 0 || !darts_[start].exists()) continue;
            walk.clear();
            DartID d = start;
            do {
                const DartID side = liveNeighbour(darts_, d, 0);
                if (liveNeighbour(darts_, side, 0) != d || ++steps > darts_.size()) return false;
                mark(d);
                mark(side);
                walk.push_back(vertexOf_[d]);
                d = liveNeighbour(darts_, side, 1);
            } while (d != start);
            faces.emplace_back(walk.begin(), walk.end());
        }
        return true;
    }

    const DartTable& darts_;
    std::vector<DartID> vertexOf_;
};

} // namespace detail

// Vertices (components over 1, 2, 3) numbered by increasing representative, and the faces of the
// 3-map with each corner given by the number of its vertex.
template <class Policy> CompactedGeometry extractGeometryCompacted3D(const IGMap<Policy>& gmap) {
    const DartTable& darts = gmap.darts();
    CompactedGeometry surface;
    if (detail::SurfaceGeometry(darts).extract(surface)) return surface;
    Cells vertices = cells(darts, std::array<Dim, 3>{1, 2, 3});
    const Cells faces = cells(darts, std::array<Dim, 3>{0, 1, 3});
    FaceList corners =
        detail::walkFaces(darts, faces, [&](DartID d) { return vertices.cellOf[d]; });
    return CompactedGeometry{std::move(vertices.representatives), std::move(corners)};
}

} // namespace gorvin
