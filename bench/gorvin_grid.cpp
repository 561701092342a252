// The grid workload on Gorvin's kernel, instantiated in plain C++ with a trivial embedding policy.
#include "harness.h"

#include "gorvin/core/gmap.h"
#include "gorvin/core/modeler.h"

#include <cstdint>
#include <memory>
#include <string>

namespace {

struct PlainEmbedding {
    using Value = std::shared_ptr<int>;
    static std::string typeName() { return "int"; }
    static Value create() { return std::make_shared<int>(0); }
};

using Modeler = gorvin::IModeler<PlainEmbedding>;

} // namespace

int main(int argc, char** argv) {
    const std::uint32_t k = bench::gridSize(argc, argv);
    const std::uint64_t n = bench::gridDarts(k);
    bench::Report report;
    auto modeler = std::make_shared<Modeler>();
    auto& gmap = *modeler->makeGMap();

    report.measure("build", [&] {
        gmap.makeDarts(n);
        bench::forEachGridLink(k, [&](unsigned dim, std::uint32_t a, std::uint32_t b) {
            gmap.linkAlpha(dim, a, b);
        });
        return gmap.size();
    });
    report.memory("build", n);
    report.memory("peak", gmap.size());
    return 0;
}
