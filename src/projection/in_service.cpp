// Members in service: the five decrements of service, and what the year's
// exits bring to the populations they enter.
#include <algorithm>
#include <cstdint>

#include "projection/population_steps.h"

// a. The five decrements of the a members in service at the start of the
// year, combined by the half-year rule (q, r, w, i the rates, m the loading
// of disablement, t the share of withdrawals taking a transfer value):
//   deaths        = a q (1 - r/2)(1 - w/2)(1 - i m/2)
//   disablements  = a i (1 - q/2)(1 - r/2)(1 - w/2) m
//   retirements   = a r (1 - q/2)(1 - w/2)(1 - i m/2)
//   deferred      = a w (1 - q/2)(1 - r/2)(1 - i m/2)(1 - t)
//   transfers     = a w (1 - q/2)(1 - r/2)(1 - i m/2) t
// and the members left in service, a minus the five.
template <class A>
void decrementInService(InService<A> &inService, YearEvents &events, const PlanTerms &terms,
                        const YearRates<A> &year, bool male, const Results &results) {
    const double a = inService.count;
    const double q = year.memberMortality;
    const double r = year.retirement;
    const double w = year.withdrawal;
    const double i = year.disablement;
    const double m = terms.disablementLoading;
    const double t = terms.transferShare;

    events.deathsInService = a * q * (1.0 - r / 2.0) * (1.0 - w / 2.0) * (1.0 - i * m / 2.0);
    events.disablements = a * i * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - w / 2.0) * m;
    events.serviceRetirements = a * r * (1.0 - q / 2.0) * (1.0 - w / 2.0) * (1.0 - i * m / 2.0);
    events.deferredWithdrawals =
        a * w * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - i * m / 2.0) * (1.0 - t);
    events.transferWithdrawals = a * w * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - i * m / 2.0) * t;
    inService.count = a - events.deathsInService - events.disablements - events.serviceRetirements -
                      events.deferredWithdrawals - events.transferWithdrawals;

    const int32_t U = year.year;
    countEvents(results, Event::deathsInService, U, events.deathsInService);
    countEvents(results, Event::disablements, U, events.disablements);
    countEvents(results, Event::serviceRetirements, U, events.serviceRetirements);
    countEvents(results, Event::deferredWithdrawals, U, events.deferredWithdrawals);
    countEvents(results, Event::transferWithdrawals, U, events.transferWithdrawals);
    countPeople(results, People::inService, male, U, inService.count);
}

// Those who retire from service this year: the accrued pensions times the
// retirement factor; a bridge only for those who retire inside the bridge
// ages, of at most 10 whole years of service:
//   bridge = averageCeiling x bridgeRate x min(wholeServiceYears + U, 10),
// of which an attribution that limits the service after the valuation date
// to k years counts min(wholeServiceYears + min(U, k), 10).
template <class A>
CohortArrivals<A> serviceRetirementArrivals(const InService<A> &inService, const YearEvents &events,
                                            const PlanTerms &terms, const YearRates<A> &year) {
    CohortArrivals<A> arrivals;
    arrivals.number = events.serviceRetirements;
    arrivals.bridgePension = 0.0;
    arrivals.indexedPension = inService.retirementFactor * inService.accruedIndexedPension;
    arrivals.nonIndexedPension = inService.retirementFactor * inService.accruedNonIndexedPension;
    if (year.inBridgeWindow) {
        arrivals.bridgePension =
            byAttribution(terms.attributions, static_cast<A *>(nullptr), [&](const ServiceAttribution &a) {
                return inService.averageCeiling * terms.bridgeRate *
                       bridgeServiceYears(inService.wholeServiceYears, year.year, a);
            });
    }
    return arrivals;
}

// The disabled of the year bring the accrued pensions, without a factor.
template <class A>
Entrants<A> disablementEntrants(const InService<A> &inService, const YearEvents &events) {
    Entrants<A> entrants = noEntrants<A>();
    entrants.number = events.disablements;
    entrants.indexed = inService.accruedIndexedPension * events.disablements;
    entrants.nonIndexed = inService.accruedNonIndexedPension * events.disablements;
    return entrants;
}

// Leavers with a deferred pension bring the accrued pensions and the whole
// years of service they had at the start of the year, wholeServiceYears + U - 1
// (of which an attribution limited to k years counts min(U - 1, k) after the
// valuation date).
template <class A>
Entrants<A> deferredLeavers(const InService<A> &inService, const YearEvents &events, const PlanTerms &terms,
                            const YearRates<A> &year) {
    const double leavers = events.deferredWithdrawals;
    const A service =
        byAttribution(terms.attributions, static_cast<A *>(nullptr), [&](const ServiceAttribution &a) {
            return leaverServiceYears(inService.wholeServiceYears, year.year, a);
        });
    Entrants<A> entrants = noEntrants<A>();
    entrants.number = leavers;
    entrants.indexed = inService.accruedIndexedPension * leavers;
    entrants.nonIndexed = inService.accruedNonIndexedPension * leavers;
    entrants.serviceYears = service * leavers;
    return entrants;
}

#define TALVEK_IN_SERVICE_STEPS(A)                                                                          \
    template void decrementInService<A>(InService<A> &, YearEvents &, const PlanTerms &, const YearRates<A> &, \
                                        bool, const Results &);                                             \
    template CohortArrivals<A> serviceRetirementArrivals<A>(const InService<A> &, const YearEvents &,        \
                                                            const PlanTerms &, const YearRates<A> &);          \
    template Entrants<A> disablementEntrants<A>(const InService<A> &, const YearEvents &);                  \
    template Entrants<A> deferredLeavers<A>(const InService<A> &, const YearEvents &, const PlanTerms &,     \
                                            const YearRates<A> &);
TALVEK_IN_SERVICE_STEPS(double)
TALVEK_IN_SERVICE_STEPS(ServiceLanes)
TALVEK_IN_SERVICE_STEPS(ScenarioLanes)
