// Marks on dart ids. DartMarks: a new pass clears them in O(1); a mark is the number of the pass
// that set it, so only the ids actually marked are ever written. DartBits: one bit per id, cleared
// id by id. Storage grows with the largest id marked. Not shared between threads: each walk keeps
// its own instance (or one per thread).
#pragma once

#include "gorvin/core/types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gorvin {

class DartMarks {
  public:
    // Unmarks every id.
    void newPass() {
        if (++pass_ != 0) return;
        std::fill(stamps_.begin(), stamps_.end(), 0); // the pass number wrapped around
        pass_ = 1;
    }

    bool marked(DartID i) const { return i < stamps_.size() && stamps_[i] == pass_; }

    // Marks i; false when i was marked already in this pass.
    bool mark(DartID i) {
        if (i >= stamps_.size()) stamps_.resize(std::size_t{i} + 1, 0);
        if (stamps_[i] == pass_) return false;
        stamps_[i] = pass_;
        return true;
    }

  private:
    std::vector<std::uint32_t> stamps_;
    std::uint32_t pass_ = 1;
};

// One bit per dart id, for walks that unmark every id they marked before they end: a walk then
// costs its own length, and the bits of a large table stay small enough to keep in cache.
class DartBits {
  public:
    // Marks i; false when i was marked already.
    bool mark(DartID i) { return markBit(wordsBelow(std::size_t{i} + 1), i); }
    void unmark(DartID i) { words_[i >> 6] &= ~(std::uint64_t{1} << (i & 63)); }

    // The bits as words, with room for every id below end, for a walk that marks ids below end
    // itself (markBit) without a check of the room per id.
    std::uint64_t* wordsBelow(std::size_t end) {
        const std::size_t words = (end + 63) / 64;
        if (words_.size() < words) words_.resize(words, 0);
        return words_.data();
    }
    // mark on the words of wordsBelow, for an id below its end.
    static bool markBit(std::uint64_t* words, DartID i) {
        const std::uint64_t bit = std::uint64_t{1} << (i & 63), word = words[i >> 6];
        words[i >> 6] = word | bit;
        return (word & bit) == 0;
    }

    // Unmarks every id below end; costs end / 64.
    void clearBelow(std::size_t end) {
        const std::size_t words = std::min(words_.size(), (end + 63) / 64);
        std::fill(words_.begin(), words_.begin() + static_cast<std::ptrdiff_t>(words), 0);
    }

    // Appends the marked ids below `end` to out in ascending order and unmarks them; costs end / 64
    // plus their number.
    void drainAscending(std::size_t end, std::vector<DartID>& out) {
        const std::size_t words = std::min(words_.size(), (end + 63) / 64);
        for (std::size_t w = 0; w < words; ++w) {
            for (std::uint64_t bits = words_[w]; bits != 0; bits &= bits - 1)
                out.push_back(static_cast<DartID>(w * 64 + __builtin_ctzll(bits)));
            words_[w] = 0;
        }
    }

  private:
    std::vector<std::uint64_t> words_;
};

} // namespace gorvin
