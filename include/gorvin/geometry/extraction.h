// Geometry extraction: vertex representatives and faces as corner lists, read from a dart table.
// A cell is a component over a set of dimensions, named by its smallest live dart id. Links that
// name a deleted slot or no slot read as free links, and a face walk ends before it would repeat a
// dart, so every call ends and stays inside the table whatever the links hold.
#pragma once

#include "gorvin/core/gmap.h"
#include "gorvin/core/labelling.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/types.h"
#include "gorvin/core/union_find.h"

#include <array>
#include <numeric>
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

// The cells over some dimensions: their representatives in increasing order, and per slot the
// position of its cell in that order (set for live darts only).
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
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        if (entry[i] == i) {
            entry[i] = static_cast<DartID>(cells.representatives.size());
            cells.representatives.push_back(i);
        } else {
            entry[i] = entry[entry[i]];
        }
    }
}

// Links that are involutions: union-find with each tree hung from its smallest id, so a parent
// is always below its child. Gives up, returning false, at a link that its target does not
// return, since cells are then what the links reach rather than what they join.
template <std::size_t K>
bool joinCells(const DartTable& darts, const std::array<Dim, K>& dims, Cells& cells) {
    std::vector<DartID>& parent = cells.cellOf;
    parent.resize(darts.size());
    std::iota(parent.begin(), parent.end(), DartID{0});
    for (DartID i = 0; i < darts.size(); ++i) {
        if (!darts[i].exists()) continue;
        for (Dim d : dims) {
            const DartID j = liveNeighbour(darts, i, d);
            if (liveNeighbour(darts, j, d) != i) return false;
            if (j > i) uniteUnderSmallest(parent, i, j);
        }
    }
    numberCells(darts, cells);
    return true;
}

// Any links: a dart's representative is the smallest live id it reaches (the fixed point of
// repeated label sweeps), and a representative is its own label.
template <std::size_t K>
void reachCells(const DartTable& darts, const std::array<Dim, K>& dims, Cells& cells) {
    std::vector<DartID>& labels = cells.cellOf;
    labels.resize(darts.size());
    std::iota(labels.begin(), labels.end(), DartID{0});
    minimumReachableLabels(labels, K, [&](std::uint32_t i, unsigned k) {
        if (!darts[i].exists()) return kNoPosition;
        const DartID j = liveNeighbour(darts, i, dims[k]);
        return j == i ? kNoPosition : j;
    });
    numberCells(darts, cells);
}

} // namespace detail

// The cells over dims of the live darts, by union-find when the links are involutions.
template <std::size_t K> Cells cells(const DartTable& darts, const std::array<Dim, K>& dims) {
    Cells result;
    if (!detail::joinCells(darts, dims, result)) {
        result.involutive = false;
        detail::reachCells(darts, dims, result);
    }
    return result;
}

namespace detail {

// Walks each face from its representative: r, w(r), w(w(r)), ... up to just before the walk
// returns to r or, when the links are not involutions, meets a dart it already met.
// corner(d) is stored for every dart d met.
template <class Corner>
FaceList walkFaces(const DartTable& darts, const Cells& faces, const Corner& corner) {
    FaceList result;
    result.reserve(faces.representatives.size());
    // the walk that last met each dart; on involutions w is a permutation and needs none
    std::vector<std::uint32_t> walkOf(faces.involutive ? 0 : darts.size(), kNoPosition);
    std::vector<DartID> walk;
    for (std::uint32_t w = 0; w < faces.representatives.size(); ++w) {
        const DartID start = faces.representatives[w];
        walk.clear();
        DartID d = start;
        do {
            if (!faces.involutive) walkOf[d] = w;
            walk.push_back(corner(d));
            d = nextCorner(darts, d);
        } while (d != start && (faces.involutive || walkOf[d] != w));
        result.emplace_back(walk.begin(), walk.end());
    }
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

// Vertices (components over 1, 2, 3) numbered by increasing representative, and the faces of the
// 3-map with each corner given by the number of its vertex.
template <class Policy> CompactedGeometry extractGeometryCompacted3D(const IGMap<Policy>& gmap) {
    const DartTable& darts = gmap.darts();
    Cells vertices = cells(darts, std::array<Dim, 3>{1, 2, 3});
    const Cells faces = cells(darts, std::array<Dim, 3>{0, 1, 3});
    FaceList corners =
        detail::walkFaces(darts, faces, [&](DartID d) { return vertices.cellOf[d]; });
    return CompactedGeometry{std::move(vertices.representatives), std::move(corners)};
}

} // namespace gorvin
