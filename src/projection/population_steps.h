// The year steps of the populations. Each moves its population through one
// projection year: its deaths and other exits, its entrants, its payments,
// and adds them into the results; what it hands on to the populations it
// feeds goes into the year's events or comes back as their entrants.
#pragma once

#include "projection/populations.h"

// Entrants of a population of pensions in payment or in deferment: their
// number and the amounts they bring, in all (number x per-head amount).
template <class A>
struct Entrants {
    double number;
    IndexedOf<A> indexed;
    A nonIndexed;
    A serviceYears; // deferment only: the whole years of service they bring
};

// This year's new pensioners of one origin, arriving in slot P of the ring.
template <class A>
struct CohortArrivals {
    double number;
    IndexedOf<A> indexedPension; // per head
    A nonIndexedPension;      // per head
    A bridgePension;          // per head
};

// One group of new surviving spouses: the pensioners' deaths they follow,
// the probability that the spouse is alive, their number (the product), and
// the pensioners' per-head amounts, of which they take f.
template <class A>
struct NewSurvivors {
    double deaths;
    double survival;
    double number;     // deaths x survival
    IndexedOf<A> indexed; // per head of the pensioners who died
    A nonIndexed;
};

template <class A>
struct SurvivorEntrants {
    bool any;                  // false: nobody enters (a spouse in payment at the valuation date)
    NewSurvivors<A> ofDeaths;  // spouses of this year's deaths (pensioners past the guarantee, disabled)
    bool ofGuaranteeToo;       // pensioners of a ring: the group below exists
    NewSurvivors<A> ofGuarantee; // spouses of the deaths inside the guarantee that ends this year
    const PensionAmounts<A> *pensionerAmounts; // one disabled life: the amounts its spouse shares
    bool sharesBridge;         // one pensioner: the spouse is paid f of its bridge, inside the ages
    A bridgeAtStart;           // the pensioner's bridge per head at the start and end of the year
    A bridge;
};

// A group of nobody, and entrants of nobody. Every field is set one by one:
// these are built in every member-year, where clearing a whole record costs
// more than the year's arithmetic.
template <class A>
inline NewSurvivors<A> noNewSurvivors() { return NewSurvivors<A>{0.0, 0.0, 0.0, 0.0, 0.0}; }
template <class A>
inline SurvivorEntrants<A> noSurvivorEntrants() {
    SurvivorEntrants<A> entrants;
    entrants.any = false;
    entrants.ofDeaths = noNewSurvivors<A>();
    entrants.ofGuaranteeToo = false;
    entrants.ofGuarantee = noNewSurvivors<A>();
    entrants.pensionerAmounts = nullptr;
    entrants.sharesBridge = false;
    entrants.bridgeAtStart = 0.0;
    entrants.bridge = 0.0;
    return entrants;
}
template <class A>
inline Entrants<A> noEntrants() { return Entrants<A>{0.0, 0.0, 0.0, 0.0}; }

// In service (steps a and b of a year, in in_service.cpp and in_service_salary.cpp).
template <class A>
void decrementInService(InService<A> &inService, YearEvents &events, const PlanTerms &terms,
                        const YearRates<A> &year, bool male, const Results &results);
// The salary history of the run's yearly rates, or of each scenario of the
// block (`lanes`, null beside plain amounts) in its lanes.
template <class S>
void projectSalaryHistory(SalaryHistory<S> &salary, const PlanTerms &terms, const HostArrays &host,
                          const LaneEconomics *lanes, const MemberRecord &member);
template <class S>
void shareSalaryHistory(SalaryHistory<S> &salary, double averagingYears);
template <class A>
void addContributions(const InService<A> &inService, const PlanTerms &terms, const ProjectionInputs &in,
                      const YearRates<A> &year, double inServiceAtStart, bool male, const Results &results);
template <class A>
void computeExitAmounts(InService<A> &inService, const PlanTerms &terms, const ProjectionInputs &in,
                        const MemberRecord &member, const YearRates<A> &year);
template <class A>
CohortArrivals<A> serviceRetirementArrivals(const InService<A> &inService, const YearEvents &events,
                                            const PlanTerms &terms, const YearRates<A> &year);
template <class A>
Entrants<A> disablementEntrants(const InService<A> &inService, const YearEvents &events);
template <class A>
Entrants<A> deferredLeavers(const InService<A> &inService, const YearEvents &events, const PlanTerms &terms,
                            const YearRates<A> &year);

// Disability pensioners.
template <class A>
void stepDisabled(Disabled<A> &disabled, const Entrants<A> &entrants, YearEvents &events,
                  const YearRates<A> &year, bool male, const Results &results);

// Deferred members.
template <class A>
void stepDeferred(Deferred<A> &deferred, const Entrants<A> &leavers, YearEvents &events, const PlanTerms &terms,
                  const YearRates<A> &year, Order order, bool male, const Results &results);
template <class A>
bool formsDeferredCohort(const Retirees<A> &retirees, const YearEvents &events, const PlanTerms &terms,
                         const YearRates<A> &year);
template <class A>
CohortArrivals<A> deferredRetirementArrivals(const Deferred<A> &deferred, const YearEvents &events,
                                             const PlanTerms &terms, const YearRates<A> &year);

// Old-age pensioners of one origin fed by cohorts (retirees.cpp).
struct RetireeYear {
    double atStart; // past the guarantee at the start of the year
    double deaths;  // their deaths this year
};
template <class A>
RetireeYear moveRetirees(Retirees<A> &retirees, double arriving, YearEvents &events, const PlanTerms &terms,
                         const YearRates<A> &year, Order order, bool male, const Results &results);
template <class A>
void receiveAndPayRetirees(Retirees<A> &retirees, const CohortArrivals<A> &arrivals, const RetireeYear &moved,
                           const PlanTerms &terms, const YearRates<A> &year, Order order, bool male,
                           const Results &results);
template <class A>
SurvivorEntrants<A> retireeSurvivorEntrants(const Retirees<A> &retirees, const YearEvents &events);

// One pensioner valued from the valuation date (one_pensioner.cpp): a year
// inside its guarantee, which also counts and pays its spouse when the
// guarantee ends, and a year of life payment. No service is still to come:
// plain amounts, or a block of scenarios in lanes.
template <class A>
void guaranteeYearOfOnePensioner(Retirees<A> &retirees, Survivors<A> &survivors, YearEvents &events,
                                 const PlanTerms &terms, const YearRates<A> &year, bool male,
                                 const Results &results);
template <class A>
SurvivorEntrants<A> lifeYearOfOnePensioner(Retirees<A> &retirees, YearEvents &events,
                                           const YearRates<A> &year, bool male, const Results &results);

// Surviving spouses of one kind.
template <class A>
void stepSurvivors(Survivors<A> &survivors, const SurvivorEntrants<A> &entrants, const PlanTerms &terms,
                   const YearRates<A> &year, Order order, const Results &results);
template <class A>
SurvivorEntrants<A> disabledSurvivorEntrants(const Disabled<A> &disabled, const YearEvents &events);
