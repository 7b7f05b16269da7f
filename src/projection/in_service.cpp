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
void decrementInService(InService &inService, YearEvents &events, const PlanTerms &terms,
                        const YearRates &year, bool male, const Results &results) {
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
//   bridge = averageCeiling x bridgeRate x min(wholeServiceYears + U, 10).
CohortArrivals serviceRetirementArrivals(const InService &inService, const YearEvents &events,
                                         const PlanTerms &terms, const YearRates &year) {
    CohortArrivals arrivals;
    arrivals.number = events.serviceRetirements;
    arrivals.bridgePension = 0.0;
    arrivals.indexedPension = inService.retirementFactor * inService.accruedIndexedPension;
    arrivals.nonIndexedPension = inService.retirementFactor * inService.accruedNonIndexedPension;
    if (year.inBridgeWindow) {
        const int64_t years = std::min<int64_t>(int64_t{inService.wholeServiceYears} + year.year, 10);
        arrivals.bridgePension = inService.averageCeiling * terms.bridgeRate * static_cast<double>(years);
    }
    return arrivals;
}

// The disabled of the year bring the accrued pensions, without a factor.
Entrants disablementEntrants(const InService &inService, const YearEvents &events) {
    Entrants entrants = noEntrants();
    entrants.number = events.disablements;
    entrants.indexed = inService.accruedIndexedPension * events.disablements;
    entrants.nonIndexed = inService.accruedNonIndexedPension * events.disablements;
    return entrants;
}

// Leavers with a deferred pension bring the accrued pensions and the whole
// years of service they had at the start of the year, wholeServiceYears + U - 1.
Entrants deferredLeavers(const InService &inService, const YearEvents &events, const YearRates &year) {
    const double leavers = events.deferredWithdrawals;
    const double service = static_cast<double>(int64_t{inService.wholeServiceYears} + year.year - 1);
    Entrants entrants = noEntrants();
    entrants.number = leavers;
    entrants.indexed = inService.accruedIndexedPension * leavers;
    entrants.nonIndexed = inService.accruedNonIndexedPension * leavers;
    entrants.serviceYears = service * leavers;
    return entrants;
}
