// The state of one member in service while it is projected: every count,
// per-head average, cohort ring and salary vector, held in one plain record
// that is reset for each member. Internal to the valuation of members in
// service; the four pieces of that valuation (decrements and counts, salary
// and accrual, retirement pensions, other exits) share it.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"
#include "basis/basis.h"
#include "core/member_record.h"
#include "projection/guarantee_cohort.h"

constexpr int kPastSalarySlots = kPastCeilingSlots;       // years 0..59 before the valuation
constexpr int kProjectedSalarySlots = kProjectionSlots;   // years 0..110 after it

// Per-head pension of a population with the value it had when the last
// mid-year payment began; the payment of a year is half the start population
// times the previous amounts plus half the end population times the new ones.
struct PensionAverage {
    double indexed;            // per head, carries the inflation guarantee
    double nonIndexed;         // per head, fixed
    double previousIndexed;    // indexed as it stood at the start of the last update
    double previousNonIndexed; // non-indexed likewise
};

// Pensioners past their guarantee period, of one origin (service or deferment).
struct RetireeAverages {
    PensionAverage pension;
    double bridge;         // per-head bridge pension
    double previousBridge; // bridge per head at the start of this year's step
};

// Values fixed for the member, read once from the host before the first year.
struct ActiveTerms {
    bool male;                     // sex of the member; the spouse has the other
    int32_t guaranteeSlots;        // P: guaranteed years, 0..19
    double firstRetirementRateAge; // retirementRates[1] as a real: service retirements begin above it
    int64_t firstDeferredCohortAge; // trunc(retirementRates[1]) - 1: deferred cohorts begin above it
    int32_t wholeServiceYears;     // whole years of service at the valuation date
    int32_t disabledAgeAddition;   // years added to a disabled member's age for mortality
    int32_t deferredRetirementAge; // 0: deferred members retire by the rate table
    double disablementLoading;     // multiplies every disablement rate
    double transferShare;          // share of withdrawals that take a transfer value
    double indexationShare;        // share of the first yearly rate granted to indexed pensions
    double spouseFraction;         // spouse pension as a share of the pensioner's
    double bridgeRate;             // bridge per year of service, on the average ceiling
    double bridgeStartAge;         // bridges are paid while start - 1 < age reached ...
    double bridgeEndAge;           // ... <= end + 1
    double averagingYears;         // years in the final average salary (a real)
    double lowerAccrualRate;       // on salary up to the ceiling, per year of service
    double upperAccrualRate;       // on salary above it
    double cappedContributionRate; // contribution rate on salary up to the ceiling
    double excessContributionRate; // contribution rate on salary above it
};

// Rates and ages of one projection year.
struct ActiveYear {
    int32_t year;             // U, 1..110
    int32_t ageReached;       // age + U: the member's age at the end of the year
    double memberMortality;   // q of the member at the age at the start of the year
    double spouseMortality;   // q of the spouse, in the spouse's table
    double disabledMortality; // q of the member at the loaded age of the disabled
    double retirement;        // r
    double withdrawal;        // w
    double disablement;       // i, before the loading
    double indexation;        // I(U): first yearly rate of year U times the share, plus 1
    double laggedIndexation;  // I'(U): the same with the rate of year U - 1
    double bridgeGrowth;      // W(U): both yearly rates of year U
    double laggedBridgeGrowth; // W'(U): both yearly rates of year U - 1
    bool inBridgeWindow;      // bridge pensions are paid this year
};

// Events of one projection year. Every step sets its events each year; the
// retirement step, which runs only from the first retirement age on, has its
// events set to 0 in the years it does not run.
struct ActiveEvents {
    double deathsInService;
    double disablements;
    double serviceRetirements;
    double deferredWithdrawals;
    double transferWithdrawals;
    double disabledDeaths;
    double deferredDeaths;
    double deferredRetirements;
    double serviceRetireeDeaths;   // deaths past the guarantee, retired from service
    double deferredRetireeDeaths;  // deaths past the guarantee, retired from deferment
    double guaranteeDeathsService; // deaths inside the guarantee of the cohort leaving it
    double guaranteeDeathsDeferred;
    double serviceSurvivorDeaths;
    double disabledSurvivorDeaths;
    double deferredSurvivorDeaths;
    double transferCount;          // lump sums paid this year: a count of the year only
};

struct ActiveMemberState {
    ActiveTerms terms;

    // Salary history: past years (slot k = k years back) and projected years.
    double pastSalary[kPastSalarySlots];
    double projectedSalary[kProjectedSalarySlots];
    // The same divided by the averaging years: the terms of every final
    // average over the full averaging period, worked out once per member.
    double pastSalaryShare[kPastSalarySlots];
    double projectedSalaryShare[kProjectedSalarySlots];

    // Amounts for an exit in the current year.
    double finalAverageSalary;
    double averageCeiling;           // the salary ceiling averaged like the salary
    double accruedIndexedPension;    // for past service with the guarantee
    double accruedNonIndexedPension; // for all other service, to the middle of the year
    int32_t serviceBand;             // retirement factor row of the service reached
    double retirementFactor;         // of the band and the age reached

    // Populations: expected numbers of the one member in each state.
    double activeCount;
    double disabledCount;
    double deferredCount;
    double serviceRetireesInGuarantee;
    double serviceRetirees;          // past the guarantee, alive
    double deferredRetireesInGuarantee;
    double deferredRetirees;
    double serviceRetireeSurvivors;
    double disabledSurvivors;
    double deferredRetireeSurvivors;

    // Probabilities that the spouse is alive.
    double spouseSurvival;               // from the valuation date
    double serviceRetireeSpouseSurvival; // average among serviceRetirees
    double deferredRetireeSpouseSurvival; // average among deferredRetirees

    // Pensioners inside their guarantee period, by the year they retired.
    GuaranteeRing serviceCohorts;
    GuaranteeRing deferredCohorts;

    // Per-head amounts of each population.
    RetireeAverages serviceRetiree;
    RetireeAverages deferredRetiree;
    PensionAverage disabled;
    double deferredIndexedPension;    // per deferred member, indexed during deferment
    double deferredNonIndexedPension; // per deferred member, fixed
    double deferredServiceYears;      // whole years of service per deferred member
    PensionAverage serviceSurvivor;
    PensionAverage disabledSurvivor;
    PensionAverage deferredSurvivor;

    ActiveEvents events;
};

// Salary, final average salary and accrued pension.
void projectSalaryHistory(ActiveMemberState &state, const HostArrays &host,
                          const MemberRecord &member);

// The salary history divided by the averaging years n (the projection does it
// once the history is projected).
void shareSalaryHistory(ActiveMemberState &state, double n);
void addContributions(const ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                      int32_t year, double activeAtStart);
void computeExitAmounts(ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                        const MemberRecord &member, const ActiveYear &year);

// Retirement pensions, guarantee cohorts and bridge pensions.
void placeServiceCohortAmounts(ActiveMemberState &state, const ActiveYear &year);
void payServiceRetirees(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                        double retireesAtStart);
void placeDeferredCohortAmounts(ActiveMemberState &state, const ActiveYear &year);
void payDeferredRetirees(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                         double retireesAtStart);

// Disability, deferred, survivor pensions and transfer values.
void payDisabled(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                 double disabledAtStart);
void updateDeferredPension(ActiveMemberState &state, const ActiveYear &year,
                           double deferredAtStart);
void payServiceSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                         double survivorsAtStart);
void payDisabledSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                          double survivorsAtStart);
void payDeferredSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                          double survivorsAtStart);
void payTransferValues(const ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                       const ActiveYear &year);
