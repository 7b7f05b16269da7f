#include "projection/guarantee_cohort.h"

int32_t guaranteeSlots(double guaranteePeriod) {
    // NaN and negative periods give no guaranteed years; longer ones than the
    // ring holds are cut to its length.
    if (!(guaranteePeriod > 0.0)) return 0;
    if (guaranteePeriod >= kLongestGuarantee) return kLongestGuarantee;
    return static_cast<int32_t>(guaranteePeriod);
}

template <class A>
void resetRing(GuaranteeRing<A> &ring) {
    for (GuaranteeCohort<A> &cohort : ring.slot) cohort = GuaranteeCohort<A>{};
    ring.leavingCleared = true;
}

template <class A>
void advanceRing(GuaranteeRing<A> &ring, int32_t lastSlot, const IndexedOf<A> &indexation,
                 const BridgeGrowth<IndexedOf<A>> &growth, Order order, double q, double qs) {
    // the last slot reads the one above it, which must lie inside the ring
    if (lastSlot > kRingSlots - 2) lastSlot = kRingSlots - 2;
    ring.leavingCleared = false; // slot 0 takes slot 1
    for (int32_t s = 0; s <= lastSlot; ++s) {
        const GuaranteeCohort<A> &next = ring.slot[s + 1];
        GuaranteeCohort<A> &cohort = ring.slot[s];
        cohort.indexedPension = next.indexedPension * indexation;
        cohort.nonIndexedPension = next.nonIndexedPension;
        cohort.retiredNumber = next.retiredNumber;
        cohort.survivingNumber = next.survivingNumber * (1.0 - q);
        cohort.bridgePension = grownBridge(next.bridgePension, growth, order);
        cohort.spouseSurvival = next.spouseSurvival * (1.0 - qs);
    }
}

template <class A>
void clearLeavingSlot(GuaranteeRing<A> &ring) {
    if (ring.leavingCleared) return; // already the empty cohort, nothing written since
    ring.slot[0] = GuaranteeCohort<A>{};
    ring.leavingCleared = true;
}

template <class A>
A guaranteedPensionPayments(const GuaranteeRing<A> &ring, int32_t p) {
    const GuaranteeCohort<A> &leaving = ring.slot[0];
    const GuaranteeCohort<A> &arriving = ring.slot[p];
    A sum = 0.5 * leaving.retiredNumber * (leaving.indexedPension + leaving.nonIndexedPension);
    for (int32_t s = 1; s <= p - 1; ++s) {
        const GuaranteeCohort<A> &cohort = ring.slot[s];
        sum += cohort.retiredNumber * (cohort.indexedPension + cohort.nonIndexedPension);
    }
    sum += 0.5 * arriving.retiredNumber * (arriving.indexedPension + arriving.nonIndexedPension);
    return sum;
}

template <class A>
A guaranteedBridgePayments(const GuaranteeRing<A> &ring, int32_t p, Order order) {
    const GuaranteeCohort<A> &leaving = ring.slot[0];
    const GuaranteeCohort<A> &arriving = ring.slot[p];
    A sum = 0.0;
    if (order == Order::laterState) sum = 0.5 * arriving.bridgePension * arriving.retiredNumber;
    for (int32_t s = 1; s <= p - 1; ++s) sum += ring.slot[s].bridgePension * ring.slot[s].retiredNumber;
    if (order == Order::inService) sum += 0.5 * arriving.bridgePension * arriving.retiredNumber;
    sum += 0.5 * leaving.bridgePension * leaving.retiredNumber;
    return sum;
}

// The rings of plain amounts, of the three attributions side by side, and of
// a block of scenarios.
#define TALVEK_RING_FUNCTIONS(A)                                                                            \
    template void resetRing<A>(GuaranteeRing<A> &);                                                         \
    template void advanceRing<A>(GuaranteeRing<A> &, int32_t, const IndexedOf<A> &,                         \
                                 const BridgeGrowth<IndexedOf<A>> &, Order, double, double);                \
    template void clearLeavingSlot<A>(GuaranteeRing<A> &);                                                  \
    template A guaranteedPensionPayments<A>(const GuaranteeRing<A> &, int32_t);                             \
    template A guaranteedBridgePayments<A>(const GuaranteeRing<A> &, int32_t, Order);
TALVEK_RING_FUNCTIONS(double)
TALVEK_RING_FUNCTIONS(ServiceLanes)
TALVEK_RING_FUNCTIONS(ScenarioLanes)
TALVEK_RING_FUNCTIONS(ScenarioValues)
