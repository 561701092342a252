// Label propagation in near-linear time. Given a label per position and directed edges
// i -> neighbour(i, k), every label becomes the smallest starting label reachable from its
// position, itself included: the fixed point that repeated "take a smaller neighbour label" sweeps
// reach. Symmetric edges (involutions) take a union-find pass; any other input takes one
// strongly-connected-component pass, where each component takes the minimum over its members and
// over the components it reaches, which are all finished before it.
#pragma once

#include "gorvin/core/index_loop.h"
#include "gorvin/core/prefault.h"
#include "gorvin/core/types.h"
#include "gorvin/core/union_find.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <utility>
#include <vector>

namespace gorvin {

namespace detail {

// The ids from a start, as a forward range.
struct CountingIterator {
    using iterator_category = std::forward_iterator_tag;
    using value_type = DartID;
    using difference_type = std::ptrdiff_t;
    using pointer = const DartID*;
    using reference = DartID;

    DartID id;
    DartID operator*() const { return id; }
    CountingIterator& operator++() {
        ++id;
        return *this;
    }
    CountingIterator operator++(int) { return {id++}; }
    bool operator==(const CountingIterator& other) const { return id == other.id; }
    bool operator!=(const CountingIterator& other) const { return id != other.id; }
};

} // namespace detail

// Makes ids the list 0..n-1, each written once (not filled first).
inline void assignOwnIds(std::vector<DartID>& ids, std::size_t n) {
    ids.assign(detail::CountingIterator{0}, detail::CountingIterator{static_cast<DartID>(n)});
}

namespace detail {

// Joins the positions 0..n-1 along the edges in parent, which starts as parent[i] == i and keeps
// every set's root its smallest position and every parent below its child. Only an edge to a
// larger position is followed and checked to come back; true when the edges are symmetric: those
// checks hold and the edges to a smaller position are as many, since each checked edge i -> j is
// then the return of a distinct edge j -> i. neighbour(i, k) gives a position below n or
// kNoPosition; the degree is an unsigned or, to unroll the loop over it, an
// std::integral_constant.
template <class Degree, class Neighbour>
bool joinSymmetric(std::uint32_t* parent, std::uint32_t n, Degree degree,
                   const Neighbour& neighbour) {
    const Neighbour link = neighbour; // a local copy, which the parent writes cannot change
    std::uint64_t upward = 0, downward = 0;
    bool returned = true;
    for (std::uint32_t i = 0; i < n; ++i)
        forEachIndex(degree, [&](unsigned k) {
            const std::uint32_t j = link(i, k);
            if (j < i) {
                ++downward;
                return;
            }
            if (j == kNoPosition || j == i) return;
            returned &= link(j, k) == i;
            ++upward;
            uniteWithLarger(parent, i, j);
        });
    return returned && upward == downward;
}

// Joins the positions along symmetric edges, then gives each set the smallest label of its
// members; false, with the labels as they were, where the edges are not symmetric.
template <class Neighbour>
bool unionFindLabels(std::vector<DartID>& labels, unsigned degree, const Neighbour& neighbour) {
    const auto n = static_cast<std::uint32_t>(labels.size());
    std::vector<std::uint32_t> parent;
    assignOwnIds(parent, n);
    if (!joinSymmetric(parent.data(), n, degree, neighbour)) return false;
    pointAtRoots(parent);
    for (std::uint32_t i = 0; i < n; ++i)
        labels[parent[i]] = std::min(labels[parent[i]], labels[i]);
    for (std::uint32_t i = 0; i < n; ++i)
        labels[i] = labels[parent[i]];
    return true;
}

// Iterative Tarjan; a finished component's label is final when it is popped.
template <class Neighbour>
void componentLabels(std::vector<DartID>& labels, unsigned degree, const Neighbour& neighbour) {
    const auto n = static_cast<std::uint32_t>(labels.size());
    constexpr std::uint32_t unvisited = kNoPosition;
    constexpr std::uint32_t done = kNoPosition - 1; // index of a position whose component is final
    std::vector<std::uint32_t> index(n, unvisited), low(n);
    std::vector<std::uint32_t> members; // Tarjan's stack
    struct Frame {
        std::uint32_t node;
        unsigned edge;
    };
    std::vector<Frame> calls;
    std::uint32_t counter = 0;
    for (std::uint32_t root = 0; root < n; ++root) {
        if (index[root] != unvisited) continue;
        calls.push_back({root, 0});
        index[root] = low[root] = counter++;
        members.push_back(root);
        while (!calls.empty()) {
            Frame& frame = calls.back();
            const std::uint32_t v = frame.node;
            if (frame.edge < degree) {
                const std::uint32_t w = neighbour(v, frame.edge++);
                if (w == kNoPosition || w == v) continue;
                if (index[w] == unvisited) {
                    index[w] = low[w] = counter++;
                    members.push_back(w);
                    calls.push_back({w, 0});
                } else if (index[w] == done) {
                    labels[v] = std::min(labels[v], labels[w]);
                } else {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
            calls.pop_back();
            const bool hasParent = !calls.empty();
            if (low[v] != index[v]) {
                if (hasParent) low[calls.back().node] = std::min(low[calls.back().node], low[v]);
                continue;
            }
            // v roots a component: the members from v to the top of the stack
            auto first = members.end();
            DartID best = labels[v];
            do {
                --first;
                best = std::min(best, labels[*first]);
            } while (*first != v);
            for (auto it = first; it != members.end(); ++it) {
                labels[*it] = best;
                index[*it] = done;
            }
            members.erase(first, members.end());
            if (hasParent) labels[calls.back().node] = std::min(labels[calls.back().node], best);
        }
    }
}

} // namespace detail

// The labels of minimumReachableLabels when every position starts with its own label, for
// positions 0..n-1. Symmetric edges take one union-find pass in position order (joinSymmetric),
// in which a label doubles as the parent link: a set's root is its smallest position and every
// link points to a smaller position, so a last ascending pass finishes every label from an
// earlier one. Nothing is allocated beyond the result. neighbour and degree as for
// joinSymmetric.
template <class Degree, class Neighbour>
std::vector<DartID> smallestReachablePositions(std::uint32_t n, Degree degree,
                                               const Neighbour& neighbour) {
    std::vector<DartID> labels;
    labels.reserve(n);
    prefaultPages(labels.data(), std::size_t{n} * sizeof(DartID));
    assignOwnIds(labels, n);
    if (!detail::joinSymmetric(labels.data(), n, degree, neighbour)) {
        // not symmetric: every component is found anew
        std::iota(labels.begin(), labels.end(), DartID{0});
        detail::componentLabels(labels, degree, neighbour);
        return labels;
    }
    pointAtRoots(labels);
    return labels;
}

// labels: one starting label per position (fewer than 2^32 - 1 positions). neighbour(i, k) for
// k < degree gives a position or kNoPosition; it is called several times per edge.
template <class Neighbour>
void minimumReachableLabels(std::vector<DartID>& labels, unsigned degree,
                            const Neighbour& neighbour) {
    if (!detail::unionFindLabels(labels, degree, neighbour))
        detail::componentLabels(labels, degree, neighbour);
}

} // namespace gorvin
