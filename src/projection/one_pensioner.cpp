// One pensioner valued from the valuation date: inside its guarantee period
// it is the only cohort of its ring and is paid whether alive or not; past
// it, its own pension, bridge and spouse survival are followed for life.
#include <cstdint>

#include "projection/population_steps.h"

namespace {

// Full guaranteed years of the slots 1..P-1, then the last year of the
// guarantee: half a year certain, half a year if alive.
template <class A>
A guaranteedYearPayments(const GuaranteeRing<A> &ring, int32_t p) {
    A pensions = 0.0;
    for (int32_t s = 1; s <= p - 1; ++s) {
        const GuaranteeCohort<A> &cohort = ring.slot[s];
        pensions += (cohort.indexedPension + cohort.nonIndexedPension) * cohort.retiredNumber;
    }
    const GuaranteeCohort<A> &leaving = ring.slot[0];
    const A leavingPension = leaving.indexedPension + leaving.nonIndexedPension;
    pensions += leavingPension * 0.5 * leaving.retiredNumber;
    pensions += leavingPension * 0.5 * leaving.survivingNumber;
    return pensions;
}

// Bridges of the full years only inside the bridge ages; the last year's
// terms whatever the age.
template <class A>
A guaranteedYearBridges(const GuaranteeRing<A> &ring, int32_t p, bool inBridgeWindow) {
    A bridges = 0.0;
    if (inBridgeWindow) {
        for (int32_t s = 1; s <= p - 1; ++s) bridges += ring.slot[s].bridgePension * ring.slot[s].retiredNumber;
    }
    const GuaranteeCohort<A> &leaving = ring.slot[0];
    bridges += 0.5 * leaving.bridgePension * leaving.retiredNumber +
               0.5 * leaving.bridgePension * leaving.survivingNumber;
    return bridges;
}

// The spouse of a pensioner who died inside the guarantee: counted when it
// ends (set, not added: only that year creates spouses) and paid half a
// year of f of the pension and of the bridge, whatever the age.
template <class A>
void spouseOfTheGuarantee(Survivors<A> &survivors, const GuaranteeCohort<A> &leaving, double guaranteeDeaths,
                          const PlanTerms &terms, int32_t U, const Results &results) {
    survivors.count = guaranteeDeaths * leaving.spouseSurvival;
    countPeople(results, survivors.people, survivors.male, U, survivors.count);
    const A leavingPension = leaving.indexedPension + leaving.nonIndexedPension;
    addPayment(results, survivors.payment, survivors.male, U,
               leavingPension * 0.5 * terms.spouseFraction * guaranteeDeaths * leaving.spouseSurvival);
    addPayment(results, Payment::bridgePension, survivors.male, U,
               0.5 * leaving.bridgePension * terms.spouseFraction * guaranteeDeaths * leaving.spouseSurvival);
}

} // namespace

// A year inside the guarantee: the pensioner moves one slot down the ring
// (indexed by I'(U), bridge grown by W'(U) one rate after the other); in the
// year it reaches slot 0 the guarantee ends, the pensioner is counted past it
// if alive, and its death inside the guarantee surfaces with the spouse.
// The amounts of slot 0 carry into life payment (taken every year; only
// those of the last year are used).
template <class A>
void guaranteeYearOfOnePensioner(Retirees<A> &retirees, Survivors<A> &survivors, YearEvents &events,
                                 const PlanTerms &terms, const YearRates<A> &year, bool male,
                                 const Results &results) {
    const int32_t U = year.year;
    const int32_t p = terms.guaranteeSlots;
    advanceRing(*retirees.cohorts, retirees.lastCohortSlot, year.laggedIndexation, year.laggedBridgeGrowth,
                Order::laterState, year.memberMortality, year.spouseMortality);
    const GuaranteeCohort<A> &leaving = retirees.cohorts->slot[0];

    retirees.inGuarantee = retirees.inGuarantee - leaving.retiredNumber;
    countPeople(results, People::serviceRetireesInGuarantee, male, U, retirees.inGuarantee);
    retirees.count = retirees.count + leaving.survivingNumber;
    countPeople(results, People::serviceRetirees, male, U, retirees.count);
    const double guaranteeDeaths = leaving.retiredNumber - leaving.survivingNumber;
    events.guaranteeDeathsService = guaranteeDeaths;
    events.serviceRetireeDeaths = 0.0;
    countEvents(results, Event::guaranteeDeathsService, U, guaranteeDeaths);
    spouseOfTheGuarantee(survivors, leaving, guaranteeDeaths, terms, U, results);
    addPayment(results, Payment::servicePension, male, U, guaranteedYearPayments(*retirees.cohorts, p));
    addPayment(results, Payment::bridgePension, male, U,
               guaranteedYearBridges(*retirees.cohorts, p, year.inBridgeWindow));

    retirees.pension.indexed = leaving.indexedPension;
    retirees.pension.nonIndexed = leaving.nonIndexedPension;
    retirees.bridge = leaving.bridgePension;
    survivors.pension.indexed = leaving.indexedPension * terms.spouseFraction;
    survivors.pension.nonIndexed = leaving.nonIndexedPension * terms.spouseFraction;
    retirees.spouseSurvival = leaving.spouseSurvival;
}

// A year of life payment: the pension indexed by I'(U), the bridge by W'(U),
// the spouse alive s <- s (1 - qs); deaths = R0 q, R1 = R0 - deaths; paid at
// mid-year, 0.5 R0 (start amounts) + 0.5 R1 (end amounts), the bridge only
// inside the bridge ages. The spouses of the year's deaths are handed on.
template <class A>
SurvivorEntrants<A> lifeYearOfOnePensioner(Retirees<A> &retirees, YearEvents &events, const YearRates<A> &year,
                                        bool male, const Results &results) {
    const int32_t U = year.year;
    const double atStart = retirees.count;
    const IndexedOf<A> indexedAtStart = retirees.pension.indexed;
    const A nonIndexedAtStart = retirees.pension.nonIndexed;
    retirees.previousBridge = retirees.bridge;
    retirees.pension.indexed = year.laggedIndexation * retirees.pension.indexed;
    retirees.bridge = year.laggedBridgeGrowth.both * retirees.bridge;
    retirees.spouseSurvival = retirees.spouseSurvival * (1.0 - year.spouseMortality);

    events.serviceRetireeDeaths = atStart * year.memberMortality;
    events.guaranteeDeathsService = 0.0;
    countEvents(results, Event::serviceRetireeDeaths, U, events.serviceRetireeDeaths);
    retirees.count = atStart - events.serviceRetireeDeaths;
    countPeople(results, People::serviceRetirees, male, U, retirees.count);
    addPayment(results, Payment::servicePension, male, U,
               atStart * 0.5 * (indexedAtStart + nonIndexedAtStart) +
                   retirees.count * 0.5 * (retirees.pension.indexed + retirees.pension.nonIndexed));
    if (year.inBridgeWindow) {
        addPayment(results, Payment::bridgePension, male, U,
                   atStart * 0.5 * retirees.previousBridge + retirees.count * 0.5 * retirees.bridge);
    }

    SurvivorEntrants<A> entrants = noSurvivorEntrants<A>();
    entrants.any = true;
    entrants.ofDeaths.deaths = events.serviceRetireeDeaths;
    entrants.ofDeaths.survival = retirees.spouseSurvival;
    entrants.ofDeaths.number = events.serviceRetireeDeaths * retirees.spouseSurvival;
    entrants.sharesBridge = true;
    entrants.bridgeAtStart = retirees.previousBridge;
    entrants.bridge = retirees.bridge;
    return entrants;
}

#define TALVEK_ONE_PENSIONER_YEARS(A)                                                                       \
    template void guaranteeYearOfOnePensioner<A>(Retirees<A> &, Survivors<A> &, YearEvents &,               \
                                                 const PlanTerms &, const YearRates<A> &, bool, const Results &); \
    template SurvivorEntrants<A> lifeYearOfOnePensioner<A>(Retirees<A> &, YearEvents &, const YearRates<A> &, \
                                                           bool, const Results &);
TALVEK_ONE_PENSIONER_YEARS(double)
TALVEK_ONE_PENSIONER_YEARS(ScenarioLanes)
TALVEK_ONE_PENSIONER_YEARS(ScenarioValues)
