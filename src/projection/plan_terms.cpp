#include "projection/plan_terms.h"

#include "projection/guarantee_cohort.h"

PlanTerms readPlanTerms(const HostArrays &host) {
    const double *plan = host.planParameters;
    const double *demographic = host.demographicParameters;
    PlanTerms terms{};
    terms.guaranteeSlots = guaranteeSlots(plan[TALVEK_PLAN_GUARANTEE_PERIOD]);
    terms.guaranteePeriod = plan[TALVEK_PLAN_GUARANTEE_PERIOD];
    terms.firstRetirementRateAge = host.retirementRates[TALVEK_RATES_FIRST_AGE];
    terms.firstDeferredCohortAge = int64_t{truncToInt(host.retirementRates[TALVEK_RATES_FIRST_AGE])} - 1;
    terms.disabledAgeAddition = truncToInt(demographic[TALVEK_DEMOGRAPHIC_DISABLED_AGE_ADDITION]);
    terms.deferredRetirementAge = truncToInt(demographic[TALVEK_DEMOGRAPHIC_DEFERRED_RETIREMENT_AGE]);
    terms.disablementLoading = demographic[TALVEK_DEMOGRAPHIC_DISABLEMENT_LOADING];
    terms.transferShare = demographic[TALVEK_DEMOGRAPHIC_TRANSFER_SHARE];
    terms.indexationShare = plan[TALVEK_PLAN_INDEXATION_SHARE];
    terms.spouseFraction = plan[TALVEK_PLAN_SPOUSE_FRACTION];
    terms.bridgeRate = plan[TALVEK_PLAN_BRIDGE_RATE];
    terms.bridgeStartAge = plan[TALVEK_PLAN_BRIDGE_START_AGE];
    terms.bridgeEndAge = plan[TALVEK_PLAN_BRIDGE_END_AGE];
    terms.averagingYears = plan[TALVEK_PLAN_AVERAGING_YEARS];
    terms.lowerAccrualRate = plan[TALVEK_PLAN_LOWER_ACCRUAL_RATE];
    terms.upperAccrualRate = plan[TALVEK_PLAN_UPPER_ACCRUAL_RATE];
    terms.cappedContributionRate =
        plan[TALVEK_PLAN_MEMBER_RATE_UP_TO_CEILING] + plan[TALVEK_PLAN_EMPLOYER_RATE_UP_TO_CEILING];
    terms.excessContributionRate =
        plan[TALVEK_PLAN_MEMBER_RATE_ABOVE_CEILING] + plan[TALVEK_PLAN_EMPLOYER_RATE_ABOVE_CEILING];
    terms.salaryCarryBackRate = host.economicParameters[TALVEK_ECONOMIC_CARRY_BACK_RATE];
    // all the service still to come, unless the run limits it; then none and one year of it
    terms.attributions.lane[kProjectedLane] = ServiceAttribution{false, 0.0};
    terms.attributions.lane[kAccruedLane] = ServiceAttribution{true, 0.0};
    terms.attributions.lane[kOneYearLane] = ServiceAttribution{true, 1.0};
    return terms;
}
