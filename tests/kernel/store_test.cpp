// The store: making darts, linking, the two deletions, resizing, and checked ids.
#include "fixtures.h"
#include "kernel_test.h"

#include "gorvin/core/exceptions.h"

using namespace kernel_test;
using gorvin::kDeleted;

KERNEL_TEST(madeDartsAreFreeAndNamedByTheirSlot) {
    Fixture f;
    CHECK(f.gmap->makeDarts(3) == 0);
    CHECK(f.gmap->makeDarts(2) == 3);
    for (DartID i = 0; i < 5; ++i)
        CHECK(table(*f.gmap)[i] == std::array<DartID, 5>{i, i, i, i, i});
}

KERNEL_TEST(linkingFreesTheFormerPartnersAndIgnoresHighDimensions) {
    Fixture f;
    f.gmap->makeDarts(4);
    f.gmap->linkAlpha(2, 0, 1);
    f.gmap->linkAlpha(2, 0, 2); // 1 becomes free
    CHECK(f.gmap->neighbour(0, 2) == 2 && f.gmap->neighbour(2, 2) == 0);
    CHECK(f.gmap->dart(1).isFree(2));
    f.gmap->linkAlpha(2, 2); // frees 0 too
    CHECK(f.gmap->dart(0).isFree(2) && f.gmap->dart(2).isFree(2));
    const auto before = table(*f.gmap);
    f.gmap->linkAlpha(4, 0, 3);
    CHECK(table(*f.gmap) == before);
}

KERNEL_TEST(idsThatNameNoSlotThrowBeforeAnyChange) {
    Fixture f;
    f.gmap->makeDarts(2);
    f.gmap->linkAlpha(0, 0, 1);
    const auto before = table(*f.gmap);
    CHECK_THROWS(gorvin::GorvinUnexistentDartException, f.gmap->linkAlpha(1, 0, 2));
    CHECK_THROWS(gorvin::GorvinUnexistentDartException, f.gmap->linkAlpha(1, 5));
    CHECK_THROWS(gorvin::GorvinUnexistentDartException, f.gmap->eraseSlot(2));
    CHECK_THROWS(gorvin::GorvinUnexistentDartException, f.gmap->deleteDart(kDeleted));
    CHECK(table(*f.gmap) == before);
}

KERNEL_TEST(erasingASlotLeavesItsPartnersLinks) {
    Fixture f = grid(1);
    f.gmap->eraseSlot(3);
    CHECK(!f.gmap->exists(3));
    CHECK(table(*f.gmap)[3] ==
          std::array<DartID, 5>{kDeleted, kDeleted, kDeleted, kDeleted, kDeleted});
    CHECK(f.gmap->neighbour(2, 0) == 3 && f.gmap->neighbour(4, 1) == 3);
}

KERNEL_TEST(deletingADartFreesThePartnersThatLinkBack) {
    Fixture f = grid(1);
    f.gmap->setLink(7, 2, 3); // one-sided: 3 does not link back to 7
    f.gmap->deleteDart(3);
    CHECK(!f.gmap->exists(3));
    CHECK(f.gmap->dart(2).isFree(0) && f.gmap->dart(4).isFree(1));
    CHECK(f.gmap->neighbour(7, 2) == 3);
}

KERNEL_TEST(resizeDropsAndAppendsSlots) {
    Fixture f = grid(1);
    f.gmap->resize(4);
    CHECK(f.gmap->size() == 4 && f.gmap->embeddings().size() == 4);
    CHECK(f.gmap->neighbour(3, 1) == 4); // a link into a dropped slot stays
    f.gmap->resize(6);
    CHECK(f.gmap->exists(5) && f.gmap->dart(5).isFree(0));
    f.gmap->clear();
    CHECK(f.gmap->size() == 0 && f.gmap->embeddings().size() == 0);
}
