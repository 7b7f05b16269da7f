// Pensioners who retired in one projection year, followed through their
// guarantee period: paid in full while it lasts, dead or alive.
#pragma once

#include <cstdint>

#include "projection/recursion_order.h"
#include "projection/scenario_lanes.h"

// A is the type of the amounts that depend on the service attributed: a
// double, ServiceLanes for the three attributions at once, or ScenarioLanes
// for those of a block of scenarios.
template <class A>
struct GuaranteeCohort {
    IndexedOf<A> indexedPension; // per head, carries the inflation guarantee (past service only)
    A nonIndexedPension;      // per head, fixed
    A bridgePension;          // per head
    double retiredNumber;     // all of them are paid during the guarantee
    double survivingNumber;   // of them, still alive
    double spouseSurvival;    // probability that the spouse is alive
};

// Slots 0..P plus one slot beyond P that stays empty and feeds zeros into
// slot P when the ring moves. Slot 0 holds the cohort whose guarantee ends in
// the current year, slot P the cohort that retires in it.
constexpr int kRingSlots = 21;
constexpr int kLongestGuarantee = kRingSlots - 2; // 19 years

template <class A>
struct GuaranteeRing {
    GuaranteeCohort<A> slot[kRingSlots];
    // Slot 0 holds the empty cohort as clearLeavingSlot leaves it, and nothing
    // has been written into it since: clearing it again would change nothing.
    // A ring that holds nobody stays so for most of a member's years, and the
    // cohort of a block of scenarios is half a kilobyte.
    bool leavingCleared;
};

// Slot s of the ring, to be written into (a new cohort, a pension in payment).
template <class A>
inline GuaranteeCohort<A> &slotToWrite(GuaranteeRing<A> &ring, int32_t s) {
    if (s == 0) ring.leavingCleared = false;
    return ring.slot[s];
}

// P = trunc(guaranteePeriod), kept inside the ring: 0..19.
int32_t guaranteeSlots(double guaranteePeriod);

// Every slot, the empty one included, to zero.
template <class A>
void resetRing(GuaranteeRing<A> &ring);

// One year on for the slots 0..lastSlot (at most P; a ring holding a single
// pensioner moves only the slots up to its own): slot s takes slot s + 1,
// its indexed pension times indexation, its bridge pension grown by W, its
// survivors times (1 - q) and its spouse survival times (1 - qs).
template <class A>
void advanceRing(GuaranteeRing<A> &ring, int32_t lastSlot, const IndexedOf<A> &indexation,
                 const BridgeGrowth<IndexedOf<A>> &growth, Order order, double q, double qs);

// A ring that holds nobody does not move; only its leaving slot is cleared.
template <class A>
void clearLeavingSlot(GuaranteeRing<A> &ring);

// Guaranteed pension payments of the year: half a year to the leaving cohort
// (slot 0), full years to slots 1..P-1 and half a year to the new one (slot P).
template <class A>
A guaranteedPensionPayments(const GuaranteeRing<A> &ring, int32_t p);

// The same pattern for the bridge pensions of the cohorts, added up in the
// order's way: slots 1..P-1, P, 0 for members in service; P, 1..P-1, 0 for
// members valued from a later state.
template <class A>
A guaranteedBridgePayments(const GuaranteeRing<A> &ring, int32_t p, Order order);
