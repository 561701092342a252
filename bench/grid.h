// The reference workload: the k x k grid of square faces, as dart ids and links. Shared by the
// benchmark programs and the C++ kernel tests.
#pragma once

#include <cstdint>

namespace bench {

// Face f = j*k + i owns darts 8f..8f+7.
inline std::uint32_t faceDart(std::uint32_t k, std::uint32_t i, std::uint32_t j, std::uint32_t d) {
    return 8 * (j * k + i) + d;
}

inline std::uint64_t gridDarts(std::uint32_t k) {
    return 8ull * k * k;
}

// Calls link(dim, a, b) for every link of the grid: alpha0 and alpha1 around each face, then the
// alpha2 seams to the face on the right (darts 2, 3 to 7, 6) and above (darts 4, 5 to 1, 0).
template <class Link> void forEachGridLink(std::uint32_t k, Link&& link) {
    for (std::uint32_t f = 0; f < k * k; ++f)
        for (std::uint32_t d = 0; d < 8; d += 2) {
            link(0u, 8 * f + d, 8 * f + d + 1);
            link(1u, 8 * f + d + 1, 8 * f + (d + 2) % 8);
        }
    for (std::uint32_t j = 0; j < k; ++j)
        for (std::uint32_t i = 0; i < k; ++i) {
            if (i + 1 < k) {
                link(2u, faceDart(k, i, j, 2), faceDart(k, i + 1, j, 7));
                link(2u, faceDart(k, i, j, 3), faceDart(k, i + 1, j, 6));
            }
            if (j + 1 < k) {
                link(2u, faceDart(k, i, j, 4), faceDart(k, i, j + 1, 1));
                link(2u, faceDart(k, i, j, 5), faceDart(k, i, j + 1, 0));
            }
        }
}

} // namespace bench
