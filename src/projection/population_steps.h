// The year steps of the populations. Each moves its population through one
// projection year: its deaths and other exits, its entrants, its payments,
// and adds them into the results; what it hands on to the populations it
// feeds goes into the year's events or comes back as their entrants.
#pragma once

#include "projection/populations.h"

// Entrants of a population of pensions in payment or in deferment: their
// number and the amounts they bring, in all (number x per-head amount).
struct Entrants {
    double number;
    double indexed;
    double nonIndexed;
    double serviceYears; // deferment only: the whole years of service they bring
};

// This year's new pensioners of one origin, arriving in slot P of the ring.
struct CohortArrivals {
    double number;
    double indexedPension;    // per head
    double nonIndexedPension; // per head
    double bridgePension;     // per head
};

// One group of new surviving spouses: the pensioners' deaths they follow,
// the probability that the spouse is alive, their number (the product), and
// the pensioners' per-head amounts, of which they take f.
struct NewSurvivors {
    double deaths;
    double survival;
    double number;     // deaths x survival
    double indexed;    // per head of the pensioners who died
    double nonIndexed;
};

struct SurvivorEntrants {
    bool any;                  // false: nobody enters (a spouse in payment at the valuation date)
    NewSurvivors ofDeaths;     // spouses of this year's deaths (pensioners past the guarantee, disabled)
    bool ofGuaranteeToo;       // pensioners of a ring: the group below exists
    NewSurvivors ofGuarantee;  // spouses of the deaths inside the guarantee that ends this year
    const PensionAmounts *pensionerAmounts; // one disabled life: the amounts its spouse shares
    bool sharesBridge;         // one pensioner: the spouse is paid f of its bridge, inside the ages
    double bridgeAtStart;      // the pensioner's bridge per head at the start and end of the year
    double bridge;
};

// A group of nobody, and entrants of nobody. Every field is set one by one:
// these are built in every member-year, where clearing a whole record costs
// more than the year's arithmetic.
inline NewSurvivors noNewSurvivors() { return NewSurvivors{0.0, 0.0, 0.0, 0.0, 0.0}; }
inline SurvivorEntrants noSurvivorEntrants() {
    SurvivorEntrants entrants;
    entrants.any = false;
    entrants.ofDeaths = noNewSurvivors();
    entrants.ofGuaranteeToo = false;
    entrants.ofGuarantee = noNewSurvivors();
    entrants.pensionerAmounts = nullptr;
    entrants.sharesBridge = false;
    entrants.bridgeAtStart = 0.0;
    entrants.bridge = 0.0;
    return entrants;
}
inline Entrants noEntrants() { return Entrants{0.0, 0.0, 0.0, 0.0}; }

// In service (steps a and b of a year, in in_service.cpp and in_service_salary.cpp).
void decrementInService(InService &inService, YearEvents &events, const PlanTerms &terms,
                        const YearRates &year, bool male, const Results &results);
void projectSalaryHistory(InService &inService, const PlanTerms &terms, const HostArrays &host,
                          const MemberRecord &member);
void shareSalaryHistory(InService &inService, double averagingYears);
void addContributions(const InService &inService, const PlanTerms &terms, const Basis &basis,
                      const YearRates &year, double inServiceAtStart, bool male, const Results &results);
void computeExitAmounts(InService &inService, const PlanTerms &terms, const Basis &basis,
                        const HostArrays &host, const MemberRecord &member, const YearRates &year);
CohortArrivals serviceRetirementArrivals(const InService &inService, const YearEvents &events,
                                         const PlanTerms &terms, const YearRates &year);
Entrants disablementEntrants(const InService &inService, const YearEvents &events);
Entrants deferredLeavers(const InService &inService, const YearEvents &events, const YearRates &year);

// Disability pensioners.
void stepDisabled(Disabled &disabled, const Entrants &entrants, YearEvents &events,
                  const YearRates &year, bool male, const Results &results);

// Deferred members.
void stepDeferred(Deferred &deferred, const Entrants &leavers, YearEvents &events, const PlanTerms &terms,
                  const YearRates &year, Order order, bool male, const Results &results);
bool formsDeferredCohort(const Retirees &retirees, const YearEvents &events, const PlanTerms &terms,
                         const YearRates &year);
CohortArrivals deferredRetirementArrivals(const Deferred &deferred, const YearEvents &events,
                                          const PlanTerms &terms, const YearRates &year);

// Old-age pensioners of one origin fed by cohorts (retirees.cpp).
struct RetireeYear {
    double atStart; // past the guarantee at the start of the year
    double deaths;  // their deaths this year
};
RetireeYear moveRetirees(Retirees &retirees, double arriving, YearEvents &events, const PlanTerms &terms,
                         const YearRates &year, Order order, bool male, const Results &results);
void receiveAndPayRetirees(Retirees &retirees, const CohortArrivals &arrivals, const RetireeYear &moved,
                           const PlanTerms &terms, const YearRates &year, Order order, bool male,
                           const Results &results);
SurvivorEntrants retireeSurvivorEntrants(const Retirees &retirees, const YearEvents &events);

// One pensioner valued from the valuation date (one_pensioner.cpp): a year
// inside its guarantee, which also counts and pays its spouse when the
// guarantee ends, and a year of life payment.
void guaranteeYearOfOnePensioner(Retirees &retirees, Survivors &survivors, YearEvents &events,
                                 const PlanTerms &terms, const YearRates &year, bool male,
                                 const Results &results);
SurvivorEntrants lifeYearOfOnePensioner(Retirees &retirees, YearEvents &events, const YearRates &year,
                                        bool male, const Results &results);

// Surviving spouses of one kind.
void stepSurvivors(Survivors &survivors, const SurvivorEntrants &entrants, const PlanTerms &terms,
                   const YearRates &year, Order order, const Results &results);
SurvivorEntrants disabledSurvivorEntrants(const Disabled &disabled, const YearEvents &events);
