// The rows of one application: every instance of a rule's left pattern, found from the hook darts
// and repeated along the first hook's orbit, depth first. Rows are columns of flat arrays: row r's
// left darts are left[r * leftSize ..], its neighbour rows opp[r * n ..] (kNoLink when unknown).
// A complete table has a dart for every left node of every row, and a neighbour row at every
// position where some right orbit has a dimension 0..3.
#pragma once

#include "gorvin/core/dart.h"
#include "gorvin/core/dart_map.h"
#include "gorvin/core/exceptions.h"
#include "gorvin/core/index_loop.h"
#include "gorvin/core/neighbour.h"
#include "gorvin/core/pod_vector.h"
#include "gorvin/core/types.h"
#include "gorvin/rules/rule_plan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace gorvin {

struct RowTable {
    std::size_t count = 0;
    std::size_t leftSize = 0;
    std::size_t orbitLength = 0;
    PodVector<DartID> left;
    PodVector<std::uint32_t> opp;
    // Set where the rows were found from one dart each and the map's links agree with them: every
    // neighbour relation is symmetric, row r's neighbour at position k is the row of the dart that
    // the hook orbit's entry k leads r's dart to, and no link of a row's dart names an id past the
    // table (where new darts will be). Then the links along the hook orbit are involutions on the
    // rows' darts. False says nothing.
    bool linksAgree = false;
    // Where the links agree: the row of each row's dart.
    DartMap rowOfDart{0};

    DartID leftDart(std::size_t row, std::size_t node) const { return left[row * leftSize + node]; }
    std::uint32_t neighbourRow(std::size_t row, std::size_t k) const {
        return opp[row * orbitLength + k];
    }
};

namespace detail {

// Finds the rows on a dart table. A dart is used once: the marks and the row index (first-hook
// dart to row) share one map, whose value is the row for an indexed dart and kUsed otherwise.
// A link to a deleted slot or past the table reaches no dart, like a link to a used one.
class RowMatcher {
  public:
    RowMatcher(const RulePlan& plan, const DartTable& darts)
        : plan_(plan), darts_(darts), used_(darts.size()) {
        rows_.leftSize = plan.leftSize;
        rows_.orbitLength = plan.orbitLength;
        for (const auto& links : plan.leftLinks)
            for (std::uint32_t t : links)
                hasLeftLinks_ = hasLeftLinks_ || t != kNoLink;
    }

    RowTable match(const std::vector<DartID>& hookDarts) {
        addRow();
        for (std::size_t i = 0; i < plan_.hooks.size(); ++i) {
            rows_.left[plan_.hooks[i]] = hookDarts[i];
            used_.set(hookDarts[i], kUsed);
        }
        extend(0);
        if (plan_.hooks.size() == 1 && plan_.leftSize == 1 && !hasLeftLinks_ &&
            plan_.orbitLength <= kShortOrbit)
            expandFromOneDart();
        else if (plan_.hooks.size() == 1)
            expand<1>();
        else if (plan_.leftSize > 0)
            expand<0>();
        if (incomplete_) throw GorvinRefoldPatternException{};
        rows_.left.resize(rows_.count * plan_.leftSize);
        rows_.opp.resize(rows_.count * plan_.orbitLength);
        return std::move(rows_);
    }

  private:
    static constexpr std::uint32_t kUsed = kAbsent - 1; // never a row number
    static constexpr std::size_t kManyRows = std::size_t{1} << 16;
    static constexpr std::size_t kShortOrbit = 8; // orbits of rows of one dart, as a rule has

    bool fresh(DartID y) const {
        // the mark first: a used dart then costs no read of the dart table
        return y < darts_.size() && !used_.contains(y) && darts_[y].exists();
    }
    DartID& leftDart(std::size_t row, std::size_t node) {
        return rows_.left[row * plan_.leftSize + node];
    }
    std::uint32_t& opp(std::size_t row, std::size_t k) {
        return rows_.opp[row * plan_.orbitLength + k];
    }

    // Columns grow in batches already filled with kNoLink, so that adding a row writes nothing.
    // Once the rows are many, the columns take room for as many rows as there are darts, their
    // bound: address space until the batches fill it, and no more copies. No batch reaches past
    // that bound, so that no page is written for rows that cannot be.
    std::uint32_t addRow() {
        if (rows_.count == capacity_) growColumns();
        return static_cast<std::uint32_t>(rows_.count++);
    }
    [[gnu::noinline]] void growColumns() {
        const std::size_t bound = darts_.size() + 1, previous = capacity_;
        capacity_ =
            std::max(rows_.count + 1, std::min(bound, std::max<std::size_t>(2 * capacity_, 16)));
        if (previous < kManyRows && capacity_ >= kManyRows) {
            rows_.left.reserve(bound * plan_.leftSize);
            rows_.opp.reserve(bound * plan_.orbitLength);
        }
        rows_.left.resize(capacity_ * plan_.leftSize, kNoLink);
        rows_.opp.resize(capacity_ * plan_.orbitLength, kNoLink);
    }

    // Gives a dart to every left node reached from the hooks through the explicit left links.
    void extend(std::uint32_t row) {
        if (!hasLeftLinks_) return;
        stack_.assign(plan_.hooks.begin(), plan_.hooks.end());
        while (!stack_.empty()) {
            const std::uint32_t v = stack_.back();
            stack_.pop_back();
            const IDart& x = darts_[leftDart(row, v)];
            for (Dim k = 0; k <= kDimension; ++k) {
                const std::uint32_t t = plan_.leftLinks[v][k];
                if (t == kNoLink) continue;
                const DartID y = x.alpha[k];
                if (!fresh(y)) continue;
                leftDart(row, t) = y;
                used_.set(y, kUsed);
                stack_.push_back(t);
            }
        }
    }

    // Repeats the pattern along the first hook's orbit: one candidate row per row and position.
    // kHooks is the number of hooks when the caller knows it (one, the usual case), else 0.
    // A row's entries are final once its positions are tried: it is checked then, and an
    // incomplete row fails the match after the expansion.
    template <std::size_t kHooks> void expand() {
        const std::size_t hookCount = kHooks != 0 ? kHooks : plan_.hooks.size();
        std::vector<DartID> steps(plan_.orbitLength * hookCount);
        used_.set(leftDart(0, plan_.hooks[0]), 0);
        std::vector<std::uint32_t> pending{0};
        while (!pending.empty()) {
            const std::uint32_t r = pending.back();
            pending.pop_back();
            readSteps(r, steps, hookCount);
            const DartID* candidate = steps.data();
            for (std::size_t k = 0; k < plan_.orbitLength; ++k, candidate += hookCount) {
                const std::size_t received = claim(candidate, hookCount);
                if (received == hookCount) {
                    pending.push_back(accept(r, k, candidate, hookCount));
                } else if (received == 0) {
                    findNeighbour(r, k, candidate[0]);
                } else {
                    throw GorvinRefoldPatternException{{Diagnostic::notIsomorphHooks}};
                }
            }
            incomplete_ = incomplete_ || !complete(r);
        }
    }

    // expand for rows of one dart, the hook's, along an orbit of at most kShortOrbit entries: the
    // same rows and neighbours, found with fewer reads and branches, telling on the way whether
    // the links agree with them (linksAgree): each neighbour found is the row of the dart the step
    // leads to, and that step's link returns. The orbit's entries, the needed positions and the
    // flags are held in locals, which the writes to the columns cannot change, and the row index
    // is read straight from its array once it is dense.
    // Orbits of three entries, the usual rules' (<0, 1, 2> and the like), run with that length
    // known when compiled.
    void expandFromOneDart() {
        if (plan_.orbitLength == 3)
            expandFromOneDart(std::integral_constant<std::size_t, 3>{});
        else
            expandFromOneDart(plan_.orbitLength);
    }
    template <class Count> [[gnu::flatten]] void expandFromOneDart(Count n) {
        std::array<int, kShortOrbit> dims{};
        std::copy_n(plan_.hookOrbits.begin(), plan_.orbitLength, dims.begin());
        unsigned needed = 0; // bit j: a neighbour is needed at position j
        for (std::uint32_t j : plan_.neededPositions)
            needed |= 1u << j;
        const auto size = static_cast<DartID>(darts_.size());
        const IDart* table = darts_.data();
        std::array<DartID, kShortOrbit> steps{};
        unsigned agree = linksInTable(table[rows_.left[0]], size), incomplete = 0;
        used_.set(rows_.left[0], 0);
        std::uint32_t* rowOf = used_.denseValues(); // null while the index is a hash
        std::vector<std::uint32_t> pending{0};
        while (!pending.empty()) {
            const std::uint32_t r = pending.back();
            pending.pop_back();
            const DartID d = rows_.left[r];
            // requested together, so that the reads overlap
            forEachIndex(n, [&](std::size_t k) { steps[k] = requestStep(d, dims[k]); });
            // row r's neighbours, until addRow moves them (no column at all for an empty orbit)
            std::uint32_t* mine = rows_.opp.begin() + r * n;
            forEachIndex(n, [&](std::size_t k) {
                const DartID y = steps[k];
                const std::uint32_t row = !rowOf ? used_.get(y) : y < size ? rowOf[y] : kAbsent;
                if (row == kAbsent && y < size && table[y].exists()) {
                    agree &= (mine[k] == kNoLink) & linksInTable(table[y], size);
                    const std::uint32_t c = addRow();
                    if (rowOf) {
                        rowOf[y] = c;
                    } else {
                        used_.set(y, c);
                        rowOf = used_.denseValues();
                    }
                    mine = rows_.opp.begin() + r * n;
                    mine[k] = c;
                    rows_.opp[c * n + k] = r;
                    rows_.left[c] = y;
                    pending.push_back(c);
                } else if (row == kAbsent) { // no dart of a row: no neighbour here
                    agree &= mine[k] == kNoLink;
                } else if (mine[k] != kNoLink) {
                    agree &= mine[k] == row;
                } else {
                    mine[k] = row;
                    // y's own step k then leads back here, when its row reads it or already did
                    agree &= row == r || table[y].alpha[dims[k]] == d;
                }
                incomplete |= (needed >> k) & (mine[k] == kNoLink);
            });
        }
        incomplete_ = incomplete != 0;
        rows_.linksAgree = agree != 0;
        if (rows_.linksAgree) rows_.rowOfDart = std::move(used_);
    }

    // True when no link of the dart names an id at or past `size` but the deleted marker.
    static bool linksInTable(const IDart& dart, DartID size) {
        unsigned outside = 0;
        for (const DartID y : dart.alpha)
            outside |= (y >= size) & (y != kDeleted);
        return outside == 0;
    }

    // Marks the fresh darts of a candidate row, the first hook's with the number the row will
    // have if accepted; returns how many there were.
    std::size_t claim(const DartID* candidate, std::size_t hookCount) {
        const auto nextRow = static_cast<std::uint32_t>(rows_.count);
        std::size_t received = 0;
        for (std::size_t i = 0; i < hookCount; ++i) {
            if (!fresh(candidate[i])) continue;
            used_.set(candidate[i], i == 0 ? nextRow : kUsed);
            ++received;
        }
        return received;
    }

    // The darts one step from each hook of row r along each position k of that hook's orbit
    // (kNoLink where the orbit entry is -1), position by position. Their marks and slots are
    // requested together, so that the memory reads of all positions overlap.
    void readSteps(std::uint32_t r, std::vector<DartID>& steps, std::size_t hookCount) const {
        for (std::size_t i = 0; i < hookCount; ++i) {
            const DartID d = rows_.leftDart(r, plan_.hooks[i]);
            for (std::size_t k = 0; k < plan_.orbitLength; ++k)
                steps[k * hookCount + i] = requestStep(d, plan_.hookDim(i, k));
        }
    }

    // The dart one step from d along orbit entry e (kNoLink for -1), its mark and slot asked for
    // ahead of their reads.
    DartID requestStep(DartID d, int e) const {
        const DartID y = e == -1 ? kNoLink : neighbour(darts_, d, e);
        if (y < darts_.size()) {
            used_.prefetch(y);
            __builtin_prefetch(&darts_[y]);
        }
        return y;
    }

    std::uint32_t accept(std::uint32_t r, std::size_t k, const DartID* candidate,
                         std::size_t hookCount) {
        const std::uint32_t c = addRow();
        opp(r, k) = c;
        opp(c, k) = r;
        for (std::size_t i = 0; i < hookCount; ++i)
            leftDart(c, plan_.hooks[i]) = candidate[i];
        extend(c);
        return c;
    }

    // Where no fresh row lies at position k, the neighbour is the row that the first hook's step
    // y indexes.
    void findNeighbour(std::uint32_t r, std::size_t k, DartID y) {
        if (opp(r, k) != kNoLink) return;
        const std::uint32_t row = used_.get(y);
        if (row < kUsed) opp(r, k) = row;
    }

    // True when row r has a dart for every left node and a neighbour row at every position where
    // some right orbit needs one.
    bool complete(std::uint32_t r) const {
        for (std::size_t v = 0; v < plan_.leftSize; ++v)
            if (rows_.leftDart(r, v) == kNoLink) return false;
        for (std::uint32_t j : plan_.neededPositions)
            if (rows_.neighbourRow(r, j) == kNoLink) return false;
        return true;
    }

    const RulePlan& plan_;
    const DartTable& darts_;
    DartMap used_;
    RowTable rows_;
    std::vector<std::uint32_t> stack_;
    std::size_t capacity_ = 0;  // rows the columns have room for
    bool hasLeftLinks_ = false; // without explicit left links, extend finds nothing
    bool incomplete_ = false;
};

} // namespace detail

// Finds the rows of `plan` on `darts` from the hook darts (one per hook node, each a live dart).
// Throws GorvinRefoldPatternException, with Diagnostic::notIsomorphHooks, when some hooks of a
// candidate row step onto fresh darts and others do not, and with no diagnostic when a row leaves
// a left node without a dart or lacks a neighbour row that a right orbit needs.
inline RowTable matchRows(const RulePlan& plan, const DartTable& darts,
                          const std::vector<DartID>& hookDarts) {
    return detail::RowMatcher(plan, darts).match(hookDarts);
}

} // namespace gorvin
