// Deferred slots: each dart reads its own value made from the pattern on first read, writes and
// truncation end the deferral, and patterns leave the table once no slot uses them.
#include "fixtures.h"
#include "kernel_test.h"

#include <memory>
#include <vector>

using namespace kernel_test;

namespace {

using Value = std::shared_ptr<int>;

// Three darts added together (one shared record), all deferred to one pattern in slot 14.
struct Deferred : Fixture {
    std::uint32_t p;
    Deferred() {
        gmap->resize(3);
        p = gmap->embeddings().addPattern(42, 14);
        for (DartID i = 0; i < 3; ++i)
            CHECK(!gmap->embeddings().defer(i, p));
    }
};

} // namespace

KERNEL_TEST(deferredSlotsReadAsOwnValuesMadeOnce) {
    Deferred f;
    auto& table = f.gmap->embeddings();
    CHECK(table.peek(0, 14) == nullptr && table.deferred(0, 14) == f.p);
    CHECK(table.deferred(0, 13) == gorvin::kAbsent);
    const Value first = table.get(0, 14);
    CHECK(*first == 42 && table.get(0, 14) == first); // made once, then stored
    CHECK(table.deferred(0, 14) == gorvin::kAbsent && table.deferred(1, 14) == f.p);
    CHECK(*table.get(1, 14) == 42 && table.get(1, 14) != first);
    CHECK(table.get(0, 3) == table.get(2, 3)); // the other slots are still shared
    CHECK(table.pattern(f.p).uses == 1);
}

KERNEL_TEST(writingADeferredSlotEndsItsDeferral) {
    Deferred f;
    auto& table = f.gmap->embeddings();
    const Value mine = std::make_shared<int>(7);
    const Value old = table.set(1, 14, mine);
    CHECK(table.get(1, 14) == mine && table.deferred(1, 14) == gorvin::kAbsent);
    const Value other = table.set(2, 5, std::make_shared<int>(9)); // another slot: still deferred
    CHECK(table.deferred(2, 14) == f.p && *table.get(2, 14) == 42);
}

KERNEL_TEST(unusedPatternsLeaveAndTheirNumbersAreReused) {
    Deferred f;
    auto& table = f.gmap->embeddings();
    f.gmap->resize(1); // darts 1 and 2 go
    CHECK(table.pattern(f.p).uses == 1 && table.takeUnusedPatterns().empty());
    CHECK(*table.get(0, 14) == 42); // the last use
    CHECK(!table.pattern(f.p).held);
    const std::uint32_t again = table.addPattern(2, 2);
    CHECK(again == f.p && table.patternCount() == 1);
    CHECK(table.takeUnusedPatterns() == std::vector<int>{2}); // added but never used
}

KERNEL_TEST(deferringAnUnsharedSlotHandsBackItsValue) {
    Fixture f;
    f.gmap->makeDarts(1);
    auto& table = f.gmap->embeddings();
    const Value made = table.get(0, 14);
    const Value handed = table.defer(0, table.addPattern(3, 14));
    CHECK(handed == made && *table.get(0, 14) == 3);
    const std::uint32_t q = table.addPattern(10, 6);
    CHECK(!table.defer(0, q)); // slot 6 was never made
    CHECK(table.deferred(0, 6) == q && *table.get(0, 14) == 3 && *table.get(0, 6) == 10);
}
