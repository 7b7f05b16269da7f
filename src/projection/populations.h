// The populations a member can be in, one plain record each: its counts (the
// expected numbers of the one member in each state), its per-head amounts
// and the steps that move it through one projection year. Every status starts
// in one of them and feeds the others: a member in service reaches them all,
// a pensioner its old-age pensioners and their spouses, a disability
// pensioner the disabled and their spouses, a deferred member deferment and
// what follows it, a spouse in payment only the surviving spouses.
#pragma once

#include <cstdint>

#include "basis/basis.h"
#include "basis/basis_lookups.h"
#include "core/host_arrays.h"
#include "core/member_record.h"
#include "projection/guarantee_cohort.h"
#include "projection/plan_terms.h"
#include "projection/recursion_order.h"
#include "projection/results_writer.h"
#include "projection/scenario_lanes.h"
#include "projection/scenario_tables.h"
#include "projection/year_rates.h"

constexpr int kPastSalarySlots = kPastCeilingSlots;     // years 0..59 before the valuation
constexpr int kProjectedSalarySlots = kProjectionSlots; // years 0..110 after it

// Every population below is a template on A, the type of the amounts that
// depend on the service attributed (the fixed pensions, the bridges and the
// service taken into deferment): a double, ServiceLanes for the three
// attributions of a valuation at once, or ScenarioLanes for those of a block
// of economic scenarios. The indexed parts count past service only: plain
// doubles beside the first two, the scenarios' lanes beside the last
// (IndexedOf<A>).

// Per-head pension of a population with the amounts that the first half of
// the year's payment uses: paid = 0.5 N0 (previous) + 0.5 N1 (current).
template <class A>
struct PensionAmounts {
    IndexedOf<A> indexed;         // per head, carries the inflation guarantee
    A nonIndexed;                 // per head, fixed
    IndexedOf<A> previousIndexed; // indexed as it stood at the start of the last update
    A previousNonIndexed;      // non-indexed likewise
};

// How a population keeps its per-head amounts.
enum class Keeping {
    averaged, // fed by exits with amounts of their own: (kept x indexation + brought) / N1
    ownLife,  // one life valued from the valuation date: its own amounts, indexed each year
};

// Members in service, with the salary, the accrued pensions and the factor
// of an exit in the current year.
// S is a double, or the scenarios' lanes (the salaries grow by each
// scenario's yearly rates).
template <class S>
struct SalaryHistory {
    S pastSalary[kPastSalarySlots];        // slot k: k years back
    S projectedSalary[kProjectedSalarySlots];
    S pastSalaryShare[kPastSalarySlots];   // the same divided by the averaging years
    S projectedSalaryShare[kProjectedSalarySlots];
};

template <class A>
struct InService {
    double count;
    int32_t wholeServiceYears; // at the valuation date
    SalaryHistory<IndexedOf<A>> *salary; // held apart, as the ring of the pensioners
    IndexedOf<A> finalAverageSalary;
    IndexedOf<A> averageCeiling;        // the salary ceiling averaged like the salary
    IndexedOf<A> accruedIndexedPension; // for past service with the guarantee
    A accruedNonIndexedPension;      // for all other service, to the middle of the year
    int32_t serviceBand;             // factor row of the service reached at the end of the year
    double retirementFactor;         // of the band and the age reached
};

template <class A>
struct Disabled {
    double count;
    PensionAmounts<A> pension;
    double spouseSurvival; // probability that the spouse is alive, from the valuation date
    Keeping keeping;
};

template <class A>
struct Deferred {
    double count;
    IndexedOf<A> indexedPension; // per head, indexed during deferment
    A nonIndexedPension;      // per head, fixed
    A serviceYears;           // whole years of service per head (bridges of leavers from service)
    int32_t bridgeServiceYears; // one life: min(trunc(serviceYears), 10), fixed
    int32_t serviceBand;      // row of the transfer values and retirement factors
    double retirementFactor;  // of the band and the age reached, this year
    IndexedOf<A> averageCeiling; // this year's, for the bridges of those who retire
    Keeping keeping;
};

enum class Origin { service, deferment };

// Old-age pensioners of one origin: the cohorts inside their guarantee
// period and the pensioners past it, with their bridge pensions.
template <class A>
struct Retirees {
    GuaranteeRing<A> *cohorts; // held apart: the large ring would keep the counts in memory
    double inGuarantee;    // everyone of the cohorts in the ring, alive or not
    double count;          // past the guarantee, alive
    double spouseSurvival; // probability that a pensioner's spouse is alive, average
    PensionAmounts<A> pension;
    A bridge;              // per head of count
    A previousBridge;      // per head at the start of this year's step
    int32_t lastCohortSlot; // one life: the slot it started in; the ring moves up to it
    Origin origin;
    Keeping keeping;
};

enum class SurvivorKind { ofRetirees, ofDisabled };

// Surviving spouses in payment of one kind of pensioner.
template <class A>
struct Survivors {
    double count;
    PensionAmounts<A> pension;
    bool male;                // the survivors' sex: the pensioner's spouse's
    bool survivorIsMember;    // a spouse in payment at the valuation date: the member's own mortality
    bool indexedWithYearRate; // one life indexed with the rate of year U, not U - 1
    bool shareOfPensioner;    // one disabled life's spouses: paid f of the pensioner's amounts
    SurvivorKind kind;
    Keeping keeping;
    People people;
    Event deaths;
    Payment payment;
};

// Events of the current year that one population's step hands to another's.
struct YearEvents {
    double deathsInService;
    double disablements;
    double serviceRetirements;
    double deferredWithdrawals;
    double transferWithdrawals;
    double disabledDeaths;
    double deferredDeaths;
    double deferredRetirements;
    double serviceRetireeDeaths;
    double deferredRetireeDeaths;
    double guaranteeDeathsService;
    double guaranteeDeathsDeferred;
};

// The populations a member can reach: fixed for each status.
struct Reach {
    bool inService;
    bool disabled;
    bool deferred;
    bool serviceRetirees;
    bool deferredRetirees;
    bool serviceSurvivors;
    bool disabledSurvivors;
    bool deferredSurvivors;
};

// Everything one member's projection holds; only the populations its status
// reaches are set and stepped.
template <class A>
struct MemberProjection {
    MemberAges ages;
    YearNeeds needs;
    // the populations, each its own record (only those of the status exist;
    // held apart, the small ones stay in registers through the year's loop)
    InService<A> *inService;
    Disabled<A> *disabled;
    Deferred<A> *deferred;
    Retirees<A> *serviceRetirees;
    Retirees<A> *deferredRetirees;
    Survivors<A> *serviceSurvivors;
    Survivors<A> *disabledSurvivors;
    Survivors<A> *deferredSurvivors;
    YearEvents events;
};

// What a valuation reads: the run's tables, the host's assumptions, the
// plan's named terms, and where the results go.
struct ProjectionInputs {
    const Basis *basis;
    const HostArrays *host;
    const PlanTerms *terms;
    Results results;
    const LaneEconomics *lanes; // a block of scenarios: each one's tables; null otherwise
};

// f(basis, host) of the run's own tables, or of each scenario of the block
// in its lane.
template <class A, class F>
inline IndexedOf<A> byScenario(const ProjectionInputs &in, F f) {
    if constexpr (!AmountKind<A>::scenarios) {
        return f(*in.basis, *in.host);
    } else {
        ScenarioValues r;
        for (int l = 0; l < kScenarioLanes; ++l) r.v[l] = f(*in.lanes->basis[l], *in.lanes->host[l]);
        return r;
    }
}

// The salary ceiling of year U (0..110): the run's, or each scenario's.
template <class A>
inline IndexedOf<A> salaryCeilingOf(const ProjectionInputs &in, int32_t U) {
    if constexpr (AmountKind<A>::scenarios) {
        return in.lanes->tables->salaryCeiling[U];
    } else {
        return in.basis->salaryCeiling[U];
    }
}

// ceilingAverageOf of the run, or of each scenario: from the block's table
// where each scenario's basis reads its own table, directly otherwise.
template <class A>
inline IndexedOf<A> ceilingAverageIn(const ProjectionInputs &in, double averagingYears, int32_t pastYears,
                                     int32_t year) {
    if constexpr (AmountKind<A>::scenarios) {
        const ScenarioTables &tables = *in.lanes->tables;
        if (tables.ceilingAveragesBuilt && averagingYears == in.host->planParameters[TALVEK_PLAN_AVERAGING_YEARS] &&
            insideLookup(pastYears, kPastCeilingSlots) && insideLookup(year, kProjectionSlots))
            return tables.ceilingAverage[pastYears][year];
    }
    return byScenario<A>(in, [&](const Basis &basis, const HostArrays &host) {
        return ceilingAverageOf(basis, host, averagingYears, pastYears, year);
    });
}

// deferredAnnuityValue of the run, or of each scenario from the block's table.
template <class A>
inline IndexedOf<A> deferredAnnuityIn(const ProjectionInputs &in, int32_t serviceBand, int32_t age,
                                      AnnuityVariant variant) {
    if constexpr (AmountKind<A>::scenarios) {
        AnnuityEntry entry{};
        if (!deferredAnnuityEntry(serviceBand, age, variant, entry)) return 0.0;
        return in.lanes->tables->deferredAnnuity[entry.band][entry.age][entry.variant];
    } else {
        return deferredAnnuityValue(*in.basis, serviceBand, age, variant);
    }
}
