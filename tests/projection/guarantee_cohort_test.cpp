// The ring of guarantee cohorts: its length, how it moves, what it pays.
#include <cmath>

#include <gtest/gtest.h>

#include "projection/guarantee_cohort.h"

namespace {

GuaranteeCohort<double> cohort(double indexed, double nonIndexed, double bridge, double retired, double surviving) {
    return GuaranteeCohort<double>{indexed, nonIndexed, bridge, retired, surviving, 1.0};
}

TEST(GuaranteeSlots, TruncatedAndKeptInsideTheRing) {
    EXPECT_EQ(guaranteeSlots(5.0), 5);
    EXPECT_EQ(guaranteeSlots(5.9), 5);
    EXPECT_EQ(guaranteeSlots(0.5), 0);
    EXPECT_EQ(guaranteeSlots(19.0), 19);
    EXPECT_EQ(guaranteeSlots(25.0), 19);
    EXPECT_EQ(guaranteeSlots(1e300), 19);
    EXPECT_EQ(guaranteeSlots(-3.0), 0);
    EXPECT_EQ(guaranteeSlots(std::nan("")), 0);
}

TEST(GuaranteeRing, AdvanceMovesEveryCohortOneSlotDown) {
    GuaranteeRing<double> ring;
    resetRing(ring);
    ring.slot[1] = cohort(100.0, 50.0, 20.0, 0.8, 0.7);
    ring.slot[1].spouseSurvival = 0.9;
    ring.slot[3] = cohort(10.0, 5.0, 2.0, 0.5, 0.5);
    advanceRing(ring, 3, 1.1, BridgeGrowth<double>{1.0, 1.0, 1.2}, Order::inService, 0.1, 0.2);
    EXPECT_DOUBLE_EQ(ring.slot[0].indexedPension, 110.0);
    EXPECT_EQ(ring.slot[0].nonIndexedPension, 50.0);
    EXPECT_DOUBLE_EQ(ring.slot[0].bridgePension, 24.0);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.8);
    EXPECT_DOUBLE_EQ(ring.slot[0].survivingNumber, 0.63);
    EXPECT_DOUBLE_EQ(ring.slot[0].spouseSurvival, 0.72);
    EXPECT_DOUBLE_EQ(ring.slot[2].indexedPension, 11.0);
    // the empty slot beyond P brings zeros into the arriving slot
    EXPECT_EQ(ring.slot[3].retiredNumber, 0.0);
    EXPECT_EQ(ring.slot[3].indexedPension, 0.0);
    EXPECT_EQ(ring.slot[4].retiredNumber, 0.0);
}

TEST(GuaranteeRing, AdvanceStopsAtItsLastSlotAndGrowsBridgesInTurnInALaterState) {
    GuaranteeRing<double> ring;
    resetRing(ring);
    ring.slot[2] = cohort(100.0, 50.0, 20.0, 1.0, 1.0);
    ring.slot[5] = cohort(7.0, 7.0, 7.0, 7.0, 7.0); // above the last slot moved
    advanceRing(ring, 2, 1.1, BridgeGrowth<double>{1.02, 1.03, 99.0}, Order::laterState, 0.1, 0.0);
    EXPECT_DOUBLE_EQ(ring.slot[1].indexedPension, 110.0);
    EXPECT_EQ(ring.slot[1].bridgePension, 20.0 * 1.02 * 1.03);
    EXPECT_EQ(ring.slot[2].retiredNumber, 0.0);
    EXPECT_EQ(ring.slot[4].retiredNumber, 0.0);
    EXPECT_EQ(ring.slot[5].retiredNumber, 7.0);
    // a last slot beyond the ring's room is held inside it
    advanceRing(ring, 40, 1.0, BridgeGrowth<double>{1.0, 1.0, 1.0}, Order::laterState, 0.0, 0.0);
    EXPECT_EQ(ring.slot[4].retiredNumber, 7.0);
    EXPECT_EQ(ring.slot[kRingSlots - 1].retiredNumber, 0.0);
}

TEST(GuaranteeRing, ClearingTheLeavingSlotLeavesTheOthers) {
    GuaranteeRing<double> ring;
    resetRing(ring);
    slotToWrite(ring, 0) = cohort(1.0, 1.0, 1.0, 1.0, 1.0);
    ring.slot[1] = cohort(2.0, 2.0, 2.0, 2.0, 2.0);
    clearLeavingSlot(ring);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.0);
    EXPECT_EQ(ring.slot[0].spouseSurvival, 0.0);
    EXPECT_EQ(ring.slot[1].retiredNumber, 2.0);
}

// A cleared slot is cleared once; whatever reaches it afterwards (the ring
// moving, a cohort of a plan without guarantee years written into slot 0)
// is cleared again by the next clearing, down to the sign of each zero.
TEST(GuaranteeRing, ClearingAgainAfterTheSlotIsWritten) {
    GuaranteeRing<double> ring;
    resetRing(ring);
    EXPECT_TRUE(ring.leavingCleared);
    clearLeavingSlot(ring);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.0);

    slotToWrite(ring, 0) = cohort(-0.0, 3.0, 3.0, 3.0, 3.0);
    EXPECT_FALSE(ring.leavingCleared);
    clearLeavingSlot(ring);
    EXPECT_TRUE(ring.leavingCleared);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.0);
    EXPECT_FALSE(std::signbit(ring.slot[0].indexedPension));

    ring.slot[1] = cohort(4.0, 4.0, 4.0, 4.0, 4.0);
    advanceRing(ring, 1, 1.0, BridgeGrowth<double>{1.0, 1.0, 1.0}, Order::inService, 0.0, 0.0);
    EXPECT_EQ(ring.slot[0].retiredNumber, 4.0);
    clearLeavingSlot(ring);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.0);
    EXPECT_EQ(ring.slot[0].nonIndexedPension, 0.0);

    // writing another slot leaves slot 0 as cleared
    slotToWrite(ring, 2) = cohort(5.0, 5.0, 5.0, 5.0, 5.0);
    EXPECT_TRUE(ring.leavingCleared);
    EXPECT_EQ(ring.slot[0].retiredNumber, 0.0);
}

TEST(GuaranteeRing, PaysHalfYearsAtBothEndsAndFullYearsBetween) {
    GuaranteeRing<double> ring;
    resetRing(ring);
    ring.slot[0] = cohort(100.0, 20.0, 10.0, 0.5, 0.4); // leaving
    ring.slot[1] = cohort(200.0, 0.0, 30.0, 0.3, 0.3);
    ring.slot[2] = cohort(300.0, 0.0, 0.0, 0.2, 0.2);
    ring.slot[3] = cohort(400.0, 10.0, 50.0, 0.1, 0.1); // arriving
    EXPECT_DOUBLE_EQ(guaranteedPensionPayments(ring, 3),
                     0.5 * 0.5 * 120.0 + 0.3 * 200.0 + 0.2 * 300.0 + 0.5 * 0.1 * 410.0);
    // both orders add the same terms: slots 1..P-1, P, 0 or P, 1..P-1, 0
    EXPECT_EQ(guaranteedBridgePayments(ring, 3, Order::inService),
              30.0 * 0.3 + 0.5 * 50.0 * 0.1 + 0.5 * 10.0 * 0.5);
    EXPECT_EQ(guaranteedBridgePayments(ring, 3, Order::laterState),
              0.5 * 50.0 * 0.1 + 30.0 * 0.3 + 0.5 * 10.0 * 0.5);
    // with no guaranteed years the one slot is both halves
    EXPECT_DOUBLE_EQ(guaranteedPensionPayments(ring, 0), 0.5 * 120.0);
}

TEST(GuaranteeRing, ResetEmptiesEverySlot) {
    GuaranteeRing<double> ring;
    for (GuaranteeCohort<double> &c : ring.slot) c = cohort(1.0, 1.0, 1.0, 1.0, 1.0);
    resetRing(ring);
    for (const GuaranteeCohort<double> &c : ring.slot) {
        EXPECT_EQ(c.retiredNumber, 0.0);
        EXPECT_EQ(c.indexedPension, 0.0);
        EXPECT_EQ(c.spouseSurvival, 0.0);
    }
}

} // namespace
