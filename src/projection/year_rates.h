// The rates of one projection year of one member, shared by every population
// the member can be in: mortality of the member, of the spouse and of a
// disabled life, the three rates of service, and the yearly factors by which
// pensions and bridges are indexed.
#pragma once

#include <cstdint>

#include "basis/basis.h"
#include "core/host_arrays.h"
#include "projection/plan_terms.h"
#include "projection/recursion_order.h"
#include "projection/scenario_lanes.h"

// The tables of each scenario of a block: its basis (the salary ceilings, the
// annuity table) and its assumptions (the yearly rates). The counts read the
// run's own tables, which every scenario shares.
struct ScenarioTables;
struct LaneEconomics {
    const Basis *basis[kScenarioLanes];
    const HostArrays *host[kScenarioLanes];
    const ScenarioTables *tables; // the same laid out in lanes
    LanePath path; // the instruction set the lanes are worked with
};

// A is the type of the member's amounts: the yearly factors are plain beside
// plain amounts and the three service lanes, and each scenario's own beside
// the scenarios' lanes.
template <class A>
struct YearRates {
    int32_t year;             // U, 1..110
    int32_t ageReached;       // age + U: the member's age at the end of the year
    double memberMortality;   // q at age + U - 1, the member's age at the start of the year
    double spouseMortality;   // qs at spouseAge + U - 1, in the spouse's table
    double disabledMortality; // q at age + U - 1 + disabledAgeAddition
    double retirement;        // r
    double withdrawal;        // w
    double disablement;       // i, before the loading
    IndexedOf<A> indexation;       // I(U) = 1 + first yearly rate of year U x indexationShare
    IndexedOf<A> laggedIndexation; // I'(U): the same with the rate of year U - 1
    BridgeGrowth<IndexedOf<A>> bridgeGrowth;       // W(U): both yearly rates of year U
    BridgeGrowth<IndexedOf<A>> laggedBridgeGrowth; // W'(U): both yearly rates of year U - 1
    bool inBridgeWindow;      // bridgeStartAge - 1 < age + U <= bridgeEndAge + 1
};

// The lives whose rates a member's year needs.
struct YearNeeds {
    bool member;       // the member's own mortality (not for a disabled life alone)
    bool spouse;       // the member's spouse (not for a spouse in payment, who is the member)
    bool disabled;     // a disabled life's mortality
    bool retirement;   // the retirement rate (in service and in deferment)
    bool service;      // the withdrawal and disablement rates
    bool bridges;      // the window of bridge ages and the growth of the cohorts' bridges, W'(U)
    bool averagedBridges; // the growth of the pensioners' average bridge, W(U)
};

struct MemberAges {
    int32_t age;       // the member's at the valuation date
    int32_t spouseAge; // the spouse's
    bool male;         // the member's sex; the spouse has the other
};

// The growth of a bridge over year t by both yearly rates, (1 + inflation) x
// (1 + second rate), and the indexation of year t, 1 + inflation x share.
BridgeGrowth<double> growthOfYear(const double *rates, int32_t t);
double indexationOfYear(const double *rates, int32_t t, double indexationShare);

// The rates of year U; the factors of a block of scenarios from each one's
// yearly rates (`lanes`, null beside plain amounts).
template <class A>
YearRates<A> ratesOfYear(const MemberAges &ages, const YearNeeds &needs, const PlanTerms &terms,
                         const Basis &basis, const HostArrays &host, const LaneEconomics *lanes, int32_t U);
