// The tables of the scenarios of a block laid out in lanes, built once per
// block from each scenario's own basis and yearly rates, so that a
// member-year reads the block's factors, ceilings and transfer values as it
// reads the lanes of its amounts: each entry is, lane by lane, what the
// scenario's own table gives.
#pragma once

#include <cstdint>

#include "basis/basis.h"
#include "projection/plan_terms.h"
#include "projection/recursion_order.h"
#include "projection/scenario_lanes.h"
#include "projection/year_rates.h"

struct ScenarioTables {
    ScenarioValues indexation[kProjectionSlots];          // I(t) = 1 + inflation of year t x indexationShare
    BridgeGrowth<ScenarioValues> growth[kProjectionSlots]; // W(t) of both yearly rates of year t
    ScenarioValues salaryCeiling[kProjectionSlots];
    // [past service years][year U], when every scenario's basis holds them
    // (its lookups are built): the ceiling averaged over the run's averaging years
    bool ceilingAveragesBuilt;
    ScenarioValues ceilingAverage[kPastCeilingSlots][kProjectionSlots];
    // [service band - 1][age - 15][variant], as the basis's deferred annuity table
    ScenarioValues deferredAnnuity[kServiceBands][kAnnuityAges][4];
};

void buildScenarioTables(ScenarioTables &tables, const LaneEconomics &lanes, const PlanTerms &terms);
