// Members in service: the old-age pensions of those who retire, from service
// or later from deferment. Each year's new pensioners form a cohort that is
// paid in full through its guarantee period; its survivors then join the
// pensioners for life, whose per-head amounts are averaged year by year.
#include <algorithm>
#include <cstdint>

#include "projection/active_member_state.h"
#include "projection/result_layout.h"

namespace {

// Pensioners past the guarantee of one origin, as the year's step sees them.
struct RetireeYear {
    const GuaranteeRing *ring;
    double atStart;    // population at the start of the step
    double kept;       // of them, still alive at its end
    double population; // after this year's update
    int pensionBlock;  // benefitCashflows block of the pensions
    int bridgeBlock;   // benefitCashflows block of the bridge pensions
};

// Per-head pensions after the cohort leaving its guarantee joined: last
// year's pensioners still alive, indexed a year, plus the cohort's survivors.
// The amounts of the first half of the payment are refreshed only in a year
// that leaves anybody past the guarantee.
void averageRetireePensions(PensionAverage &average, const RetireeYear &retirees,
                            double indexation) {
    const GuaranteeCohort &leaving = retirees.ring->slot[0];
    if (retirees.population != 0.0) {
        average.previousIndexed = average.indexed;
        average.previousNonIndexed = average.nonIndexed;
        average.indexed = (average.indexed * retirees.kept * indexation +
                           leaving.indexedPension * leaving.survivingNumber) /
                          retirees.population;
        average.nonIndexed =
            (average.nonIndexed * retirees.kept + leaving.nonIndexedPension * leaving.survivingNumber) /
            retirees.population;
    } else {
        // nobody left to average over
        average.indexed = 0.0;
        average.nonIndexed = 0.0;
    }
}

// Pensions of the year: the guaranteed payments of the cohorts and the life
// pensions at mid-year.
void payPensions(const HostArrays &host, const RetireeYear &retirees, const PensionAverage &average,
                 int32_t p, int32_t U) {
    const double guaranteed = guaranteedPensionPayments(*retirees.ring, p);
    const double life =
        0.5 * retirees.atStart * (average.previousIndexed + average.previousNonIndexed) +
        0.5 * retirees.population * (average.indexed + average.nonIndexed);
    addToBlock(host.benefitCashflows, retirees.pensionBlock, U, guaranteed + life);
}

// Bridge pensions, paid only while the age reached lies in the bridge window;
// the average is indexed by both rates of year U.
void payBridges(const HostArrays &host, const RetireeYear &retirees, RetireeAverages &averages,
                const ActiveYear &year, int32_t p) {
    averages.previousBridge = averages.bridge;
    if (!year.inBridgeWindow) return;
    const GuaranteeCohort &leaving = retirees.ring->slot[0];
    double paid = guaranteedBridgePayments(*retirees.ring, p);
    // with nobody past the guarantee the average keeps its value
    if (retirees.population > 0.0) {
        averages.bridge = (averages.bridge * retirees.kept * year.bridgeGrowth +
                           leaving.bridgePension * leaving.survivingNumber) /
                          retirees.population;
    }
    paid += 0.5 * retirees.atStart * averages.previousBridge + 0.5 * retirees.population * averages.bridge;
    addToBlock(host.benefitCashflows, retirees.bridgeBlock, year.year, paid);
}

void payRetirees(const HostArrays &host, RetireeAverages &averages, const RetireeYear &retirees,
                 const ActiveYear &year, int32_t p) {
    averageRetireePensions(averages.pension, retirees, year.laggedIndexation);
    payPensions(host, retirees, averages.pension, p, year.year);
    payBridges(host, retirees, averages, year, p);
}

} // namespace

void placeServiceCohortAmounts(ActiveMemberState &state, const ActiveYear &year) {
    GuaranteeCohort &arriving = state.serviceCohorts.slot[state.terms.guaranteeSlots];
    arriving.indexedPension = state.retirementFactor * state.accruedIndexedPension;
    arriving.nonIndexedPension = state.retirementFactor * state.accruedNonIndexedPension;
    // Only cohorts that retire inside the bridge window carry a bridge, of
    // at most 10 whole years of service.
    arriving.bridgePension = 0.0;
    if (year.inBridgeWindow) {
        const int64_t years = std::min<int64_t>(int64_t{state.terms.wholeServiceYears} + year.year, 10);
        arriving.bridgePension =
            state.averageCeiling * state.terms.bridgeRate * static_cast<double>(years);
    }
}

void placeDeferredCohortAmounts(ActiveMemberState &state, const ActiveYear &year) {
    GuaranteeCohort &arriving = state.deferredCohorts.slot[state.terms.guaranteeSlots];
    arriving.indexedPension = state.retirementFactor * state.deferredIndexedPension;
    arriving.nonIndexedPension = state.retirementFactor * state.deferredNonIndexedPension;
    arriving.bridgePension = 0.0;
    if (year.inBridgeWindow) {
        // the deferred members' average service, a real, at most 10 years
        arriving.bridgePension =
            state.averageCeiling * state.terms.bridgeRate * std::min(state.deferredServiceYears, 10.0);
    }
}

void payServiceRetirees(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                        double retireesAtStart) {
    const bool male = state.terms.male;
    RetireeYear retirees{};
    retirees.ring = &state.serviceCohorts;
    retirees.atStart = retireesAtStart;
    retirees.kept = retireesAtStart - state.events.serviceRetireeDeaths;
    retirees.population = state.serviceRetirees;
    retirees.pensionBlock =
        blockForSex(male, cashflows::kServicePensionMale, cashflows::kServicePensionFemale);
    retirees.bridgeBlock =
        blockForSex(male, cashflows::kBridgePensionMale, cashflows::kBridgePensionFemale);
    payRetirees(host, state.serviceRetiree, retirees, year, state.terms.guaranteeSlots);
}

void payDeferredRetirees(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                         double retireesAtStart) {
    const bool male = state.terms.male;
    RetireeYear retirees{};
    retirees.ring = &state.deferredCohorts;
    retirees.atStart = retireesAtStart;
    retirees.kept = retireesAtStart - state.events.deferredRetireeDeaths;
    retirees.population = state.deferredRetirees;
    retirees.pensionBlock =
        blockForSex(male, cashflows::kDeferredPensionMale, cashflows::kDeferredPensionFemale);
    retirees.bridgeBlock =
        blockForSex(male, cashflows::kBridgePensionMale, cashflows::kBridgePensionFemale);
    payRetirees(host, state.deferredRetiree, retirees, year, state.terms.guaranteeSlots);
}
