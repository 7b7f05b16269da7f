// Old-age pensioners of one origin fed by cohorts: each year's new
// pensioners form a cohort that is paid in full through its guarantee
// period, dead or alive; its survivors then join the pensioners for life,
// whose per-head amounts are averaged year by year.
#include <cstdint>

#include "projection/pension_amounts.h"
#include "projection/population_steps.h"

namespace {

// The names of one origin's results.
struct RetireeNames {
    People count;
    People inGuarantee;
    Event deaths;
    Event guaranteeDeaths;
    Payment pension;
};

RetireeNames namesOf(Origin origin) {
    if (origin == Origin::service) {
        return {People::serviceRetirees, People::serviceRetireesInGuarantee, Event::serviceRetireeDeaths,
                Event::guaranteeDeathsService, Payment::servicePension};
    }
    return {People::deferredRetirees, People::deferredRetireesInGuarantee, Event::deferredRetireeDeaths,
            Event::guaranteeDeathsDeferred, Payment::deferredPension};
}

void setEvents(YearEvents &events, Origin origin, double deaths, double guaranteeDeaths) {
    if (origin == Origin::service) {
        events.serviceRetireeDeaths = deaths;
        events.guaranteeDeathsService = guaranteeDeaths;
    } else {
        events.deferredRetireeDeaths = deaths;
        events.guaranteeDeathsDeferred = guaranteeDeaths;
    }
}

// Bridges, paid only while the age reached lies in the bridge ages: the
// cohorts' guaranteed bridges, and the pensioners past the guarantee at
// mid-year, their per-head bridge after the year
//   b1 = (grown(b0 x K, W(U)) + slot 0 bridge x slot 0 survivors) / R1   (R1 > 0; else b1 = b0).
template <class A>
void payBridges(Retirees<A> &retirees, const RetireeYear &moved, const PlanTerms &terms,
                const YearRates<A> &year, Order order, bool male, const Results &results) {
    retirees.previousBridge = retirees.bridge;
    if (!year.inBridgeWindow) return;
    const GuaranteeCohort<A> &leaving = retirees.cohorts->slot[0];
    A paid = guaranteedBridgePayments(*retirees.cohorts, terms.guaranteeSlots, order);
    const double kept = moved.atStart - moved.deaths;
    if (retirees.count > 0.0) {
        retirees.bridge = (grownBridge(retirees.bridge * kept, year.bridgeGrowth, order) +
                           leaving.bridgePension * leaving.survivingNumber) /
                          retirees.count;
    }
    paid += 0.5 * moved.atStart * retirees.previousBridge + 0.5 * retirees.count * retirees.bridge;
    addPayment(results, Payment::bridgePension, male, year.year, paid);
}

} // namespace

// The ring moves a year on (when it holds anybody), the pensioners past the
// guarantee die at q, the cohort whose guarantee ends (slot 0) joins them
// with its survivors and its dead are counted now:
//   deaths = R0 q,  guaranteeDeaths = slot 0 retired - slot 0 surviving,
//   R1 = R0 + slot 0 surviving - deaths,  G1 = G0 + arriving - slot 0 retired,
//   spouse alive among R1: ((1 - qs) s R0' + slot 0 surviving x slot 0 spouse) / R1,
// with R0' = R0 - deaths; when R1 = 0 the average keeps its value.
template <class A>
RetireeYear moveRetirees(Retirees<A> &retirees, double arriving, YearEvents &events, const PlanTerms &terms,
                         const YearRates<A> &year, Order order, bool male, const Results &results) {
    const RetireeNames names = namesOf(retirees.origin);
    const int32_t U = year.year;
    const double q = year.memberMortality;
    const double qs = year.spouseMortality;
    if (retirees.inGuarantee > 0.0) {
        advanceRing(*retirees.cohorts, terms.guaranteeSlots, year.laggedIndexation, year.laggedBridgeGrowth,
                    order, q, qs);
    } else {
        clearLeavingSlot(*retirees.cohorts);
    }
    const GuaranteeCohort<A> &leaving = retirees.cohorts->slot[0];
    const RetireeYear moved{retirees.count, retirees.count * q};
    setEvents(events, retirees.origin, moved.deaths, leaving.retiredNumber - leaving.survivingNumber);
    countEvents(results, names.deaths, U, moved.deaths);
    countEvents(results, names.guaranteeDeaths, U, leaving.retiredNumber - leaving.survivingNumber);

    if (order == Order::inService) {
        retirees.count = moved.atStart + leaving.survivingNumber - moved.deaths;
        retirees.inGuarantee = retirees.inGuarantee + arriving - leaving.retiredNumber;
    } else {
        retirees.count = leaving.survivingNumber - moved.deaths + moved.atStart;
        retirees.inGuarantee = arriving - leaving.retiredNumber + retirees.inGuarantee;
    }
    countPeople(results, names.count, male, U, retirees.count);
    countPeople(results, names.inGuarantee, male, U, retirees.inGuarantee);
    if (retirees.count != 0.0) {
        retirees.spouseSurvival = ((1.0 - qs) * retirees.spouseSurvival * (moved.atStart - moved.deaths) +
                                   leaving.survivingNumber * leaving.spouseSurvival) /
                                  retirees.count;
    }
    return moved;
}

// The year's new cohort takes slot P; the per-head pensions past the
// guarantee are averaged with the leaving cohort's survivors,
//   indexed = (indexed x K x I'(U) + slot 0 indexed x slot 0 surviving) / R1, K = R0 - deaths,
// and the year is paid: the cohorts' guaranteed payments (half a year to
// slot 0, full years to 1..P-1, half a year to P) and the pensioners past
// the guarantee at mid-year, 0.5 R0 (previous) + 0.5 R1 (current).
template <class A>
void receiveAndPayRetirees(Retirees<A> &retirees, const CohortArrivals<A> &arrivals, const RetireeYear &moved,
                           const PlanTerms &terms, const YearRates<A> &year, Order order, bool male,
                           const Results &results) {
    const int32_t p = terms.guaranteeSlots;
    GuaranteeCohort<A> &arriving = slotToWrite(*retirees.cohorts, p);
    arriving.indexedPension = arrivals.indexedPension;
    arriving.nonIndexedPension = arrivals.nonIndexedPension;
    arriving.bridgePension = arrivals.bridgePension;
    arriving.retiredNumber = arrivals.number;
    arriving.survivingNumber = arrivals.number;
    arriving.spouseSurvival = 1.0;

    const GuaranteeCohort<A> &leaving = retirees.cohorts->slot[0];
    averagePensions(retirees.pension, moved.atStart - moved.deaths, retirees.count, year.laggedIndexation,
                    leaving.indexedPension * leaving.survivingNumber,
                    leaving.nonIndexedPension * leaving.survivingNumber);
    const A guaranteed = guaranteedPensionPayments(*retirees.cohorts, p);
    const A life = midYearPayment(retirees.pension, moved.atStart, retirees.count);
    addPayment(results, namesOf(retirees.origin).pension, male, year.year, guaranteed + life);
    payBridges(retirees, moved, terms, year, order, male, results);
}

// The spouses the year's deaths leave: of the pensioners past the guarantee
// (deaths x s among them) and of the cohort whose guarantee ended (its dead
// x slot 0 spouse), each with f of the pension the pensioner had.
template <class A>
SurvivorEntrants<A> retireeSurvivorEntrants(const Retirees<A> &retirees, const YearEvents &events) {
    const bool service = retirees.origin == Origin::service;
    const double deaths = service ? events.serviceRetireeDeaths : events.deferredRetireeDeaths;
    const double guaranteeDeaths = service ? events.guaranteeDeathsService : events.guaranteeDeathsDeferred;
    const GuaranteeCohort<A> &leaving = retirees.cohorts->slot[0];
    SurvivorEntrants<A> entrants = noSurvivorEntrants<A>();
    entrants.any = true;
    entrants.ofGuaranteeToo = true;
    entrants.ofDeaths = NewSurvivors<A>{deaths, retirees.spouseSurvival, deaths * retirees.spouseSurvival,
                                     retirees.pension.indexed, retirees.pension.nonIndexed};
    entrants.ofGuarantee = NewSurvivors<A>{guaranteeDeaths, leaving.spouseSurvival,
                                        guaranteeDeaths * leaving.spouseSurvival, leaving.indexedPension,
                                        leaving.nonIndexedPension};
    return entrants;
}

#define TALVEK_RETIREE_STEPS(A)                                                                             \
    template RetireeYear moveRetirees<A>(Retirees<A> &, double, YearEvents &, const PlanTerms &,            \
                                         const YearRates<A> &, Order, bool, const Results &);                  \
    template void receiveAndPayRetirees<A>(Retirees<A> &, const CohortArrivals<A> &, const RetireeYear &,   \
                                           const PlanTerms &, const YearRates<A> &, Order, bool, const Results &); \
    template SurvivorEntrants<A> retireeSurvivorEntrants<A>(const Retirees<A> &, const YearEvents &);
TALVEK_RETIREE_STEPS(double)
TALVEK_RETIREE_STEPS(ServiceLanes)
TALVEK_RETIREE_STEPS(ScenarioLanes)
TALVEK_RETIREE_STEPS(ScenarioValues)
