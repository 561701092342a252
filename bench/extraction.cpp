// Geometry extraction on the k x k grid of square faces (default k = 1000, 8 k^2 darts), timed
// against a plain linear pass over the dart table. Build and run:
//   g++ -std=c++17 -O2 -DNDEBUG -Wall -Wextra -Iinclude bench/extraction.cpp -o build/extraction
//   build/extraction [k]
#include "gorvin/geometry/extraction.h"
#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

struct PlainEmbedding {
    using Value = std::shared_ptr<int>;
    static std::string typeName() { return "int"; }
    static Value create() { return std::make_shared<int>(0); }
};

using GMap = gorvin::IGMap<PlainEmbedding>;

// Face f = j*k + i owns darts 8f..8f+7; seams: darts 2, 3 to 7, 6 of the face on the right and
// darts 4, 5 to 1, 0 of the face above.
void buildGrid(GMap& gmap, std::uint32_t k) {
    gmap.makeDarts(8ull * k * k);
    const auto dart = [k](std::uint32_t i, std::uint32_t j, std::uint32_t d) {
        return 8 * (j * k + i) + d;
    };
    for (std::uint32_t f = 0; f < k * k; ++f)
        for (std::uint32_t d = 0; d < 8; d += 2) {
            gmap.linkAlpha(0, 8 * f + d, 8 * f + d + 1);
            gmap.linkAlpha(1, 8 * f + d + 1, 8 * f + (d + 2) % 8);
        }
    for (std::uint32_t j = 0; j < k; ++j)
        for (std::uint32_t i = 0; i < k; ++i) {
            if (i + 1 < k) {
                gmap.linkAlpha(2, dart(i, j, 2), dart(i + 1, j, 7));
                gmap.linkAlpha(2, dart(i, j, 3), dart(i + 1, j, 6));
            }
            if (j + 1 < k) {
                gmap.linkAlpha(2, dart(i, j, 4), dart(i, j + 1, 1));
                gmap.linkAlpha(2, dart(i, j, 5), dart(i, j + 1, 0));
            }
        }
}

// Runs work() three times and prints the best processor time, in seconds and in units of `unit`
// seconds. Processor time rather than wall time: the machine is shared.
template <class Work> double timed(const char* name, double unit, Work&& work) {
    double best = 1e30;
    std::uint64_t checksum = 0;
    for (int run = 0; run < 3; ++run) {
        const std::clock_t start = std::clock();
        checksum = work();
        best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::printf("%-28s %8.3f s %7.1f passes  (%llu)\n", name, best, unit > 0 ? best / unit : 1.0,
                static_cast<unsigned long long>(checksum));
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const auto k = static_cast<std::uint32_t>(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000);
    auto modeler = std::make_shared<gorvin::IModeler<PlainEmbedding>>();
    GMap& gmap = *modeler->makeGMap();
    buildGrid(gmap, k);
    std::printf("grid %u x %u, %zu darts\n", k, k, gmap.size());

    // One read of every link, the unit the extraction times are given in.
    const double pass = timed("linear pass", 0, [&] {
        std::uint64_t sum = 0;
        for (const gorvin::IDart& d : gmap.darts())
            sum += d.alpha[0] ^ d.alpha[1] ^ d.alpha[2] ^ d.alpha[3];
        return sum;
    });
    timed("extractFaces2D", pass, [&] { return gorvin::extractFaces2D(gmap).size(); });
    timed("extractFaces3D", pass, [&] { return gorvin::extractFaces3D(gmap).size(); });
    timed("extractGeometryCompacted3D", pass,
          [&] { return gorvin::extractGeometryCompacted3D(gmap).vertices.size(); });
    return 0;
}
