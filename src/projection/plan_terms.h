// The plan's terms and the demographic assumptions the projection uses, read
// from the host's arrays once per run and named: every status reads them here.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"
#include "projection/service_lanes.h"

struct PlanTerms {
    int32_t guaranteeSlots;         // P = trunc(guaranteePeriod), kept inside the ring: 0..19
    double guaranteePeriod;         // years, as given: a pensioner is inside it while years retired < it
    double firstRetirementRateAge;  // F = retirementRates[1], a real: retirements from service begin above it
    int64_t firstDeferredCohortAge; // trunc(F) - 1: cohorts from deferment begin above it
    int32_t disabledAgeAddition;    // years added to a disabled life's age for its mortality
    int32_t deferredRetirementAge;  // 0: deferred members retire by the rate table; else all at this age
    double disablementLoading;      // m: multiplies every disablement rate
    double transferShare;           // t: share of withdrawals that take a transfer value
    double indexationShare;         // share of the first yearly rate granted to indexed pensions
    double spouseFraction;          // f: spouse pension as a share of the pensioner's
    double bridgeRate;              // bridge pension per year of service, on the average ceiling
    double bridgeStartAge;          // bridges are paid while start - 1 < age reached ...
    double bridgeEndAge;            // ... <= end + 1
    double averagingYears;          // n: years of the final average salary (a real)
    double lowerAccrualRate;        // per year of service, on salary up to the ceiling
    double upperAccrualRate;        // per year of service, on salary above it
    double cappedContributionRate;  // member's and employer's rates up to the ceiling
    double excessContributionRate;  // member's and employer's rates above it
    double salaryCarryBackRate;     // deflates the salary into the years before the valuation
    LaneAttributions attributions;  // service after the valuation date counted: the run's, none, one year
};

PlanTerms readPlanTerms(const HostArrays &host);
