// Members in service: one member followed year by year through the five
// decrements of service into every population of the plan. This file owns the
// yearly order of the steps, the decrements and every count; the amounts come
// from the salary, retirement and exit pieces that share the member's state.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "projection/active_member_state.h"
#include "basis/basis_lookups.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

// A sum of whole numbers from the host kept inside the 32-bit range.
int32_t saturate(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

ActiveTerms readTerms(const HostArrays &host, const MemberRecord &member, bool male) {
    const double *plan = host.planParameters;
    const double *demographic = host.demographicParameters;
    ActiveTerms terms{};
    terms.male = male;
    terms.guaranteeSlots = guaranteeSlots(plan[TALVEK_PLAN_GUARANTEE_PERIOD]);
    terms.firstRetirementRateAge = host.retirementRates[TALVEK_RATES_FIRST_AGE];
    terms.firstDeferredCohortAge = int64_t{truncToInt(host.retirementRates[TALVEK_RATES_FIRST_AGE])} - 1;
    terms.wholeServiceYears = member.wholeServiceYears;
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
    terms.cappedContributionRate = plan[TALVEK_PLAN_MEMBER_RATE_UP_TO_CEILING] + plan[TALVEK_PLAN_EMPLOYER_RATE_UP_TO_CEILING];
    terms.excessContributionRate = plan[TALVEK_PLAN_MEMBER_RATE_ABOVE_CEILING] + plan[TALVEK_PLAN_EMPLOYER_RATE_ABOVE_CEILING];
    return terms;
}

// Rates of projection year U. x is the member's age at the start of the year,
// y the spouse's; mortalityRate gives 1 above 120 (for the loaded age of the
// disabled too) and 0 below age 0, where a large negative loading may lead.
ActiveYear ratesOfYear(const ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                       const MemberRecord &member, int32_t U) {
    const ActiveTerms &terms = state.terms;
    const int32_t x = saturate(int64_t{member.age} + U - 1);
    const int32_t y = saturate(int64_t{member.spouseAge} + U - 1);
    const int32_t disabledAge = saturate(int64_t{x} + terms.disabledAgeAddition);
    const MortalityTable &own = memberTable(basis, terms.male);
    const double *rates = host.yearlyRates;
    const double share = terms.indexationShare;

    ActiveYear year;
    year.year = U;
    year.ageReached = saturate(int64_t{member.age} + U);
    year.memberMortality = mortalityRate(own, x, U - 1);
    year.spouseMortality = mortalityRate(spouseTable(basis, terms.male), y, U - 1);
    year.disabledMortality = mortalityRate(own, disabledAge, U - 1);
    year.retirement = retirementRateOf(basis, host, x);
    year.withdrawal = withdrawalRateOf(basis, host, x);
    year.disablement = disablementRateOf(basis, host, x);
    year.indexation = 1.0 + rates[TALVEK_YEARLY_INFLATION + U] * share;
    year.laggedIndexation = 1.0 + rates[TALVEK_YEARLY_INFLATION + U - 1] * share;
    year.bridgeGrowth = (1.0 + rates[TALVEK_YEARLY_INFLATION + U]) * (1.0 + rates[TALVEK_YEARLY_SALARY_GROWTH + U]);
    year.laggedBridgeGrowth =
        (1.0 + rates[TALVEK_YEARLY_INFLATION + U - 1]) * (1.0 + rates[TALVEK_YEARLY_SALARY_GROWTH + U - 1]);
    const double reached = year.ageReached;
    year.inBridgeWindow = terms.bridgeStartAge - 1.0 < reached && reached <= terms.bridgeEndAge + 1.0;
    return year;
}

// a. The five decrements of service, combined by the half-year rule.
void decrementActives(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const double a = state.activeCount;
    const double q = year.memberMortality;
    const double r = year.retirement;
    const double w = year.withdrawal;
    const double i = year.disablement;
    const double m = state.terms.disablementLoading;
    const double t = state.terms.transferShare;
    ActiveEvents &events = state.events;

    events.deathsInService = a * q * (1.0 - r / 2.0) * (1.0 - w / 2.0) * (1.0 - i * m / 2.0);
    events.disablements = a * i * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - w / 2.0) * m;
    events.serviceRetirements = a * r * (1.0 - q / 2.0) * (1.0 - w / 2.0) * (1.0 - i * m / 2.0);
    events.deferredWithdrawals =
        a * w * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - i * m / 2.0) * (1.0 - t);
    events.transferWithdrawals = a * w * (1.0 - q / 2.0) * (1.0 - r / 2.0) * (1.0 - i * m / 2.0) * t;
    state.activeCount = a - events.deathsInService - events.disablements -
                        events.serviceRetirements - events.deferredWithdrawals -
                        events.transferWithdrawals;

    const int32_t U = year.year;
    addToBlock(host.decrementCounts, decrements::kDeathsInService, U, events.deathsInService);
    addToBlock(host.decrementCounts, decrements::kDisablements, U, events.disablements);
    addToBlock(host.decrementCounts, decrements::kServiceRetirements, U, events.serviceRetirements);
    addToBlock(host.decrementCounts, decrements::kDeferredWithdrawals, U, events.deferredWithdrawals);
    addToBlock(host.decrementCounts, decrements::kTransferWithdrawals, U, events.transferWithdrawals);
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kActiveMale, members::kActiveFemale), U,
               state.activeCount);
}

// c. Retirement from service: the ring moves on a year, the cohort whose
// guarantee ends joins the pensioners for life (its dead are counted now),
// and this year's retirements arrive in slot P.
void retireFromService(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const bool male = state.terms.male;
    const int32_t p = state.terms.guaranteeSlots;
    const int32_t U = year.year;
    const double q = year.memberMortality;
    const double qs = year.spouseMortality;
    ActiveEvents &events = state.events;
    GuaranteeRing &ring = state.serviceCohorts;

    // A ring that holds nobody stays where it is; only the leaving slot empties.
    if (state.serviceRetireesInGuarantee > 0.0) {
        advanceRing(ring, p, year.laggedIndexation, year.laggedBridgeGrowth, q, qs);
    } else {
        clearLeavingSlot(ring);
    }
    const GuaranteeCohort &leaving = ring.slot[0];

    events.serviceRetireeDeaths = state.serviceRetirees * q;
    events.guaranteeDeathsService = leaving.retiredNumber - leaving.survivingNumber;
    addToBlock(host.decrementCounts, decrements::kServiceRetireeDeaths, U, events.serviceRetireeDeaths);
    addToBlock(host.decrementCounts, decrements::kGuaranteeDeathsService, U,
               events.guaranteeDeathsService);

    const double retireesAtStart = state.serviceRetirees;
    state.serviceRetirees = retireesAtStart + leaving.survivingNumber - events.serviceRetireeDeaths;
    addToBlock(host.memberCounts,
               blockForSex(male, members::kServiceRetireesMale, members::kServiceRetireesFemale), U,
               state.serviceRetirees);
    // With nobody past the guarantee the average spouse survival has no
    // population to be taken over; it keeps its value.
    if (state.serviceRetirees != 0.0) {
        state.serviceRetireeSpouseSurvival =
            ((1.0 - qs) * state.serviceRetireeSpouseSurvival *
                 (retireesAtStart - events.serviceRetireeDeaths) +
             leaving.survivingNumber * leaving.spouseSurvival) /
            state.serviceRetirees;
    }

    state.serviceRetireesInGuarantee =
        state.serviceRetireesInGuarantee + events.serviceRetirements - leaving.retiredNumber;
    addToBlock(host.memberCounts,
               blockForSex(male, members::kServiceRetireesInGuaranteeMale,
                           members::kServiceRetireesInGuaranteeFemale),
               U, state.serviceRetireesInGuarantee);

    GuaranteeCohort &arriving = ring.slot[p];
    arriving.retiredNumber = events.serviceRetirements;
    arriving.survivingNumber = events.serviceRetirements;
    arriving.spouseSurvival = 1.0;
    placeServiceCohortAmounts(state, year);
    payServiceRetirees(state, host, year, retireesAtStart);
}

// d. Disability pensioners: their deaths, then this year's disablements.
void disable(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const int32_t U = year.year;
    ActiveEvents &events = state.events;
    events.disabledDeaths = state.disabledCount * year.disabledMortality;
    addToBlock(host.decrementCounts, decrements::kDisabledDeaths, U, events.disabledDeaths);
    state.spouseSurvival = state.spouseSurvival * (1.0 - year.spouseMortality);

    const double disabledAtStart = state.disabledCount;
    state.disabledCount = disabledAtStart + events.disablements - events.disabledDeaths;
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kDisabledMale, members::kDisabledFemale), U,
               state.disabledCount);
    payDisabled(state, host, year, disabledAtStart);
}

// Deaths and retirements of the deferred members present at the start of the year.
void deferredExits(ActiveMemberState &state, const ActiveYear &year, double deferredAtStart) {
    const double q = year.memberMortality;
    const double r = year.retirement;
    const int32_t retirementAge = state.terms.deferredRetirementAge;
    ActiveEvents &events = state.events;
    if (retirementAge == 0) {
        // by the retirement-rate table, like the members in service
        events.deferredDeaths = deferredAtStart * q * (1.0 - r / 2.0);
        events.deferredRetirements = deferredAtStart * r * (1.0 - q / 2.0);
    } else if (year.ageReached >= retirementAge) {
        // everyone still deferred at the start of a year that reaches the age,
        // or starts past it, leaves deferment: half the year's deaths, the rest retire
        events.deferredDeaths = deferredAtStart * q / 2.0;
        events.deferredRetirements = deferredAtStart * (1.0 - q / 2.0);
    } else {
        events.deferredDeaths = deferredAtStart * q;
        events.deferredRetirements = 0.0;
    }
}

// e. Deferred members: the ring of their pensioners moves on whatever the
// age, deferred members die or retire, and from the year before the first
// retirement age the year's retirements form a cohort.
void defer(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const bool male = state.terms.male;
    const int32_t p = state.terms.guaranteeSlots;
    const int32_t U = year.year;
    const double q = year.memberMortality;
    const double qs = year.spouseMortality;
    ActiveEvents &events = state.events;
    GuaranteeRing &ring = state.deferredCohorts;
    const double deferredAtStart = state.deferredCount;
    const double retireesAtStart = state.deferredRetirees;

    const double inGuaranteeAtStart = state.deferredRetireesInGuarantee;
    if (inGuaranteeAtStart > 0.0) {
        advanceRing(ring, p, year.laggedIndexation, year.laggedBridgeGrowth, q, qs);
    } else {
        clearLeavingSlot(ring);
    }
    const GuaranteeCohort &leaving = ring.slot[0];

    events.guaranteeDeathsDeferred = leaving.retiredNumber - leaving.survivingNumber;
    addToBlock(host.decrementCounts, decrements::kGuaranteeDeathsDeferred, U,
               events.guaranteeDeathsDeferred);
    events.deferredRetireeDeaths = retireesAtStart * q;
    addToBlock(host.decrementCounts, decrements::kDeferredRetireeDeaths, U,
               events.deferredRetireeDeaths);

    deferredExits(state, year, deferredAtStart);
    addToBlock(host.decrementCounts, decrements::kDeferredDeaths, U, events.deferredDeaths);
    addToBlock(host.decrementCounts, decrements::kDeferredRetirements, U, events.deferredRetirements);

    state.deferredCount = deferredAtStart + events.deferredWithdrawals - events.deferredDeaths -
                          events.deferredRetirements;
    addToBlock(host.memberCounts, blockForSex(male, members::kDeferredMale, members::kDeferredFemale),
               U, state.deferredCount);
    state.deferredRetirees = retireesAtStart + leaving.survivingNumber - events.deferredRetireeDeaths;
    addToBlock(host.memberCounts,
               blockForSex(male, members::kDeferredRetireesMale, members::kDeferredRetireesFemale), U,
               state.deferredRetirees);
    state.deferredRetireesInGuarantee =
        state.deferredRetireesInGuarantee + events.deferredRetirements - leaving.retiredNumber;
    addToBlock(host.memberCounts,
               blockForSex(male, members::kDeferredRetireesInGuaranteeMale,
                           members::kDeferredRetireesInGuaranteeFemale),
               U, state.deferredRetireesInGuarantee);

    updateDeferredPension(state, year, deferredAtStart);

    // Before this age no deferred member retires by the table. Retirements at
    // a fixed deferred retirement age below it form their cohort all the same,
    // or they would stay inside the guarantee for ever, unpaid; and the
    // cohorts and the pensioners past their guarantee are paid in every year
    // that has any.
    if (year.ageReached > state.terms.firstDeferredCohortAge || events.deferredRetirements != 0.0 ||
        inGuaranteeAtStart > 0.0 || retireesAtStart != 0.0) {
        GuaranteeCohort &arriving = ring.slot[p];
        arriving.retiredNumber = events.deferredRetirements;
        arriving.survivingNumber = events.deferredRetirements;
        arriving.spouseSurvival = 1.0;
        placeDeferredCohortAmounts(state, year);
        if (state.deferredRetirees != 0.0) {
            state.deferredRetireeSpouseSurvival =
                ((1.0 - qs) * state.deferredRetireeSpouseSurvival *
                     (retireesAtStart - events.deferredRetireeDeaths) +
                 leaving.survivingNumber * leaving.spouseSurvival) /
                state.deferredRetirees;
        }
        payDeferredRetirees(state, host, year, retireesAtStart);
    }
}

// f. Spouses of pensioners retired from service: of those who died past the
// guarantee this year, and of the cohort whose guarantee ended, whose deaths
// inside it surface only now.
void serviceSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const int32_t U = year.year;
    ActiveEvents &events = state.events;
    const GuaranteeCohort &leaving = state.serviceCohorts.slot[0];
    const double survivorsAtStart = state.serviceRetireeSurvivors;
    events.serviceSurvivorDeaths = survivorsAtStart * year.spouseMortality;
    addToBlock(host.decrementCounts, decrements::kServiceSurvivorDeaths, U,
               events.serviceSurvivorDeaths);
    state.serviceRetireeSurvivors =
        survivorsAtStart + events.serviceRetireeDeaths * state.serviceRetireeSpouseSurvival +
        events.guaranteeDeathsService * leaving.spouseSurvival - events.serviceSurvivorDeaths;
    // The spouse has the other sex: a man's widow is counted among the women.
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kServiceSurvivorsFemale,
                           members::kServiceSurvivorsMale),
               U, state.serviceRetireeSurvivors);
    payServiceSurvivors(state, host, year, survivorsAtStart);
}

// g. Spouses of disability pensioners who died this year.
void disabledSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const int32_t U = year.year;
    ActiveEvents &events = state.events;
    const double survivorsAtStart = state.disabledSurvivors;
    events.disabledSurvivorDeaths = survivorsAtStart * year.spouseMortality;
    addToBlock(host.decrementCounts, decrements::kDisabledSurvivorDeaths, U,
               events.disabledSurvivorDeaths);
    state.disabledSurvivors = survivorsAtStart + events.disabledDeaths * state.spouseSurvival -
                              events.disabledSurvivorDeaths;
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kDisabledSurvivorsFemale,
                           members::kDisabledSurvivorsMale),
               U, state.disabledSurvivors);
    payDisabledSurvivors(state, host, year, survivorsAtStart);
}

// h. Spouses of pensioners retired from deferment, as for service.
void deferredSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year) {
    const int32_t U = year.year;
    ActiveEvents &events = state.events;
    const GuaranteeCohort &leaving = state.deferredCohorts.slot[0];
    const double survivorsAtStart = state.deferredRetireeSurvivors;
    events.deferredSurvivorDeaths = survivorsAtStart * year.spouseMortality;
    addToBlock(host.decrementCounts, decrements::kDeferredSurvivorDeaths, U,
               events.deferredSurvivorDeaths);
    state.deferredRetireeSurvivors =
        survivorsAtStart + events.deferredRetireeDeaths * state.deferredRetireeSpouseSurvival +
        events.guaranteeDeathsDeferred * leaving.spouseSurvival - events.deferredSurvivorDeaths;
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kDeferredSurvivorsFemale,
                           members::kDeferredSurvivorsMale),
               U, state.deferredRetireeSurvivors);
    payDeferredSurvivors(state, host, year, survivorsAtStart);
}

// i. Lump sums of the year: withdrawals taking a transfer value and deaths of
// deferred members. A count of this year only, never carried over.
void payLumpSums(ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                 const ActiveYear &year) {
    ActiveEvents &events = state.events;
    events.transferCount = events.transferWithdrawals + events.deferredDeaths;
    addToBlock(host.memberCounts,
               blockForSex(state.terms.male, members::kLumpSumsMale, members::kLumpSumsFemale),
               year.year, events.transferCount);
    payTransferValues(state, host, basis, year);
}

void projectYear(ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                 const MemberRecord &member, int32_t U) {
    const ActiveYear year = ratesOfYear(state, host, basis, member, U);
    const double activeAtStart = state.activeCount;

    decrementActives(state, host, year);                      // a
    addContributions(state, host, basis, U, activeAtStart);   // b
    computeExitAmounts(state, host, basis, member, year);     // b
    if (year.ageReached > state.terms.firstRetirementRateAge) { // c, compared as reals
        retireFromService(state, host, year);
    } else {
        // no retirement step this year: none of its deaths reach the survivors
        state.events.serviceRetireeDeaths = 0.0;
        state.events.guaranteeDeathsService = 0.0;
    }
    disable(state, host, year);                               // d
    defer(state, host, year);                                 // e
    serviceSurvivors(state, host, year);                      // f
    disabledSurvivors(state, host, year);                     // g
    deferredSurvivors(state, host, year);                     // h
    payLumpSums(state, host, basis, year);                    // i
}

} // namespace

void valueActiveMember(const ValuationContext &context, const MemberRecord &member) {
    const HostArrays &host = *context.host;
    const Basis &basis = *context.basis;

    // Every count, average, ring slot and salary slot starts at zero.
    ActiveMemberState state{};
    projectSalaryHistory(state, host, member);

    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return; // an unknown sex is valued with nothing

    state.terms = readTerms(host, member, male);
    state.activeCount = 1.0;
    state.spouseSurvival = 1.0;
    state.deferredServiceYears = member.wholeServiceYears;
    host.memberCounts[blockForSex(male, members::kActiveMale, members::kActiveFemale)] += 1.0;

    // The result blocks and the mortality tables hold years up to 110 only.
    const int32_t lastYear = std::min(member.projectionYears, kProjectionSlots);
    for (int32_t U = 1; U < lastYear; ++U) projectYear(state, host, basis, member, U);
}
