// The bulk interface: appended blocks link inside themselves whatever the G-map held before, and
// slots deferred through it read as their patterns' values.
#include "fixtures.h"
#include "kernel_test.h"

#include "gorvin/core/bulk_edit.h"

#include <array>
#include <vector>

using namespace kernel_test;

namespace {

using Bulk = gorvin::BulkEdit<gorvin::PlainEmbedding>;
using gorvin::kDeleted;

} // namespace

KERNEL_TEST(appendedBlocksLinkInsideThemselves) {
    Fixture f;
    f.gmap->makeDarts(3); // the block's ids start after these
    // two darts linked along 0, free along 1 and 2, a one-sided link to no dart along 3
    const std::array<std::array<DartID, 4>, 2> links{{{1, 0, 0, kDeleted}, {0, 1, 1, 1}}};
    const DartID first =
        Bulk(*f.gmap).appendLinked(2, [&](std::uint64_t i, gorvin::Dim d) { return links[i][d]; });
    CHECK(first == 3 && f.gmap->size() == 5);
    CHECK((table(*f.gmap)[3] == std::array<DartID, 5>{3, 4, 3, 3, kDeleted}));
    CHECK((table(*f.gmap)[4] == std::array<DartID, 5>{4, 3, 4, 4, 4}));
}

KERNEL_TEST(linkingPairsFreesFormerPartners) {
    Fixture f;
    f.gmap->makeDarts(3);
    Bulk bulk(*f.gmap);
    bulk.link(2, 0, 1);
    bulk.link(2, 1, 2);
    CHECK(f.gmap->neighbour(0, 2) == 0 && f.gmap->neighbour(1, 2) == 2);
    bulk.erase(2);
    CHECK(!f.gmap->exists(2) && f.gmap->neighbour(1, 2) == 2); // the partner keeps its link
}

KERNEL_TEST(deferredSlotsReadTheirPatternsThroughTheInterface) {
    Fixture f;
    f.gmap->makeDarts(2);
    Bulk bulk(*f.gmap);
    bulk.reservePatterns(2);
    const std::uint32_t p = bulk.addPattern(7, 5);
    const std::uint32_t unused = bulk.addPattern(9, 5);
    for (DartID x = 0; x < 2; ++x)
        CHECK(!bulk.defer(x, p));
    CHECK(bulk.deferredTo(1, 5) == p && bulk.madeValue(1, 5) == nullptr);
    CHECK(bulk.takeUnused() == std::vector<int>{9} && bulk.pattern(unused).held == false);
    CHECK(*bulk.value(1, 5) == 7 && bulk.value(0, 5) != bulk.value(1, 5));
    const auto old = bulk.replace(0, 5, std::make_shared<int>(1));
    CHECK(*old == 7 && *bulk.value(0, 5) == 1);
    CHECK(!bulk.pattern(p).held); // taken back when its last deferred slot was made
}
