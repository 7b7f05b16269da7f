// The two rules every population's per-head amounts follow: the average after
// a year's entrants and exits, and the payment of the year at mid-year.
#pragma once

#include <type_traits>

#include "projection/populations.h"

// Per-head amounts of a population after the year's update, N1 != 0:
//   indexed    = (indexed x K x indexation + brought indexed) / N1
//   nonIndexed = (nonIndexed x K + brought non-indexed) / N1
// with K the part of the start population still in it. The amounts of the
// first half of the payment are refreshed only in a year that leaves anybody
// in the population; an empty population (N1 = 0) has no amounts and keeps
// its previous ones.
template <class A>
inline void averagePensions(PensionAmounts<A> &amounts, double kept, double population,
                            const std::type_identity_t<IndexedOf<A>> &indexation,
                            const std::type_identity_t<IndexedOf<A>> &broughtIndexed,
                            const std::type_identity_t<A> &broughtNonIndexed) {
    if (population != 0.0) {
        amounts.previousIndexed = amounts.indexed;
        amounts.previousNonIndexed = amounts.nonIndexed;
        amounts.indexed = (amounts.indexed * kept * indexation + broughtIndexed) / population;
        amounts.nonIndexed = (amounts.nonIndexed * kept + broughtNonIndexed) / population;
    } else {
        amounts.indexed = 0.0;
        amounts.nonIndexed = 0.0;
    }
}

// One life's amounts a year on: the indexed part times the indexation, the
// other fixed; the start-of-year amounts serve the first half of the payment.
template <class A>
inline void indexOwnPensions(PensionAmounts<A> &amounts, const std::type_identity_t<IndexedOf<A>> &indexation) {
    amounts.previousIndexed = amounts.indexed;
    amounts.previousNonIndexed = amounts.nonIndexed;
    amounts.indexed = amounts.indexed * indexation;
}

// The trapezoid rule: half a year at the start population and amounts, half
// at the end ones: 0.5 N0 (previous) + 0.5 N1 (current).
template <class A>
inline A midYearPayment(const PensionAmounts<A> &amounts, double atStart, double atEnd) {
    return 0.5 * atStart * (amounts.previousIndexed + amounts.previousNonIndexed) +
           0.5 * atEnd * (amounts.indexed + amounts.nonIndexed);
}
