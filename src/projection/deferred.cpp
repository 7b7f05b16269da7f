// Deferred members: leavers whose pension is fixed at leaving (or at the
// valuation date) and indexed until they retire, at the table's rates or all
// at a fixed deferred retirement age; those who die are paid a lump sum.
#include <algorithm>
#include <cstdint>

#include "projection/population_steps.h"

namespace {

// Deaths and retirements of the D0 deferred at the start of the year.
//   by the rate table:    deaths = D0 q (1 - r/2),  retirements = D0 r (1 - q/2);
//   at a fixed age R, in a year that reaches it or starts past it (age + U >= R):
//                         deaths = D0 q / 2,        retirements = D0 (1 - q/2);
//   before R:             deaths = D0 q,            retirements = 0.
// Members deferred at the valuation date who are already past R thus retire
// in year 1, and leavers from service at or after R the year after leaving.
template <class A>
void deferredExits(YearEvents &events, const PlanTerms &terms, const YearRates<A> &year, double atStart) {
    const double q = year.memberMortality;
    const double r = year.retirement;
    if (terms.deferredRetirementAge == 0) {
        events.deferredDeaths = atStart * q * (1.0 - r / 2.0);
        events.deferredRetirements = atStart * r * (1.0 - q / 2.0);
    } else if (year.ageReached >= terms.deferredRetirementAge) {
        events.deferredDeaths = atStart * q / 2.0;
        events.deferredRetirements = atStart * (1.0 - q / 2.0);
    } else {
        events.deferredDeaths = atStart * q;
        events.deferredRetirements = 0.0;
    }
}

// Per-head amounts of leavers from service after the year, D1 != 0, K =
// D0 - deaths - retirements:
//   indexed      = (indexed x K x I'(U) + brought) / D1
//   nonIndexed   = (nonIndexed x K + brought) / D1
//   serviceYears = (serviceYears x K + brought) / D1.
// With nobody deferred the indexed amount still rises, by I(U) of year U;
// the fixed amount and the service keep their values.
template <class A>
void averageDeferredPension(Deferred<A> &deferred, const Entrants<A> &leavers, const YearRates<A> &year,
                            double kept) {
    const double population = deferred.count;
    if (population != 0.0) {
        deferred.indexedPension =
            (deferred.indexedPension * kept * year.laggedIndexation + leavers.indexed) / population;
        deferred.nonIndexedPension = (deferred.nonIndexedPension * kept + leavers.nonIndexed) / population;
        deferred.serviceYears = (deferred.serviceYears * kept + leavers.serviceYears) / population;
    } else {
        deferred.indexedPension = deferred.indexedPension * year.indexation;
    }
}

} // namespace

// e. Deferred members of the year: D1 = (D0 + leavers) - deaths - retirements
// for leavers from service, D1 = D0 - (deaths + retirements) for a member
// deferred at the valuation date. One life deferred at the valuation date
// keeps its own pension: fixed in year 1, then indexed at the start of each
// year by the rate of the year before, I'(U).
template <class A>
void stepDeferred(Deferred<A> &deferred, const Entrants<A> &leavers, YearEvents &events, const PlanTerms &terms,
                  const YearRates<A> &year, Order order, bool male, const Results &results) {
    const int32_t U = year.year;
    if (deferred.keeping == Keeping::ownLife && U > 1) {
        deferred.indexedPension = deferred.indexedPension * year.laggedIndexation;
    }
    const double atStart = deferred.count;
    deferredExits(events, terms, year, atStart);
    countEvents(results, Event::deferredDeaths, U, events.deferredDeaths);
    countEvents(results, Event::deferredRetirements, U, events.deferredRetirements);
    if (order == Order::inService) {
        deferred.count = atStart + leavers.number - events.deferredDeaths - events.deferredRetirements;
    } else {
        deferred.count = atStart - (events.deferredDeaths + events.deferredRetirements);
    }
    countPeople(results, People::deferred, male, U, deferred.count);
    if (deferred.keeping == Keeping::averaged) {
        averageDeferredPension(deferred, leavers, year,
                               atStart - events.deferredDeaths - events.deferredRetirements);
    }
}

// The year's retirements from deferment form a cohort from the year before
// the first age of the retirement rates on, and in any year that has any
// (at a fixed retirement age below that age); the cohorts and the pensioners
// past their guarantee are paid in every year that has any.
template <class A>
bool formsDeferredCohort(const Retirees<A> &retirees, const YearEvents &events, const PlanTerms &terms,
                         const YearRates<A> &year) {
    return year.ageReached > terms.firstDeferredCohortAge || events.deferredRetirements != 0.0 ||
           retirees.inGuarantee > 0.0 || retirees.count != 0.0;
}

// Those who retire from deferment: the deferred pension times the retirement
// factor. Leavers from service carry a bridge only when they retire inside
// the bridge ages, on their average service (a real, at most 10 years); a
// member deferred at the valuation date carries one whenever it retires, on
// its whole years of service at most 10, paid only inside the bridge ages.
template <class A>
CohortArrivals<A> deferredRetirementArrivals(const Deferred<A> &deferred, const YearEvents &events,
                                             const PlanTerms &terms, const YearRates<A> &year) {
    CohortArrivals<A> arrivals;
    arrivals.number = events.deferredRetirements;
    arrivals.bridgePension = 0.0;
    arrivals.indexedPension = deferred.retirementFactor * deferred.indexedPension;
    arrivals.nonIndexedPension = deferred.retirementFactor * deferred.nonIndexedPension;
    if (deferred.keeping == Keeping::ownLife) {
        arrivals.bridgePension = deferred.averageCeiling * terms.bridgeRate * deferred.bridgeServiceYears;
    } else if (year.inBridgeWindow) {
        arrivals.bridgePension =
            deferred.averageCeiling * terms.bridgeRate * cappedAt(deferred.serviceYears, 10.0);
    }
    return arrivals;
}

#define TALVEK_DEFERRED_STEPS(A)                                                                            \
    template void stepDeferred<A>(Deferred<A> &, const Entrants<A> &, YearEvents &, const PlanTerms &,      \
                                  const YearRates<A> &, Order, bool, const Results &);                         \
    template bool formsDeferredCohort<A>(const Retirees<A> &, const YearEvents &, const PlanTerms &,        \
                                         const YearRates<A> &);                                                \
    template CohortArrivals<A> deferredRetirementArrivals<A>(const Deferred<A> &, const YearEvents &,       \
                                                             const PlanTerms &, const YearRates<A> &);
TALVEK_DEFERRED_STEPS(double)
TALVEK_DEFERRED_STEPS(ServiceLanes)
TALVEK_DEFERRED_STEPS(ScenarioLanes)
TALVEK_DEFERRED_STEPS(ScenarioValues)
