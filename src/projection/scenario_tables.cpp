#include "projection/scenario_tables.h"

namespace {

// Scenario l's value into its lane.
void putLane(ScenarioValues &lanes, int l, double value) { lanes.v[l] = value; }

} // namespace

void buildScenarioTables(ScenarioTables &tables, const LaneEconomics &lanes, const PlanTerms &terms) {
    // the lookups exist in every scenario's basis or in none: each is built alike
    tables.ceilingAveragesBuilt = lanes.basis[0]->lookupsBuilt;
    for (int l = 0; l < kScenarioLanes; ++l) {
        const Basis &basis = *lanes.basis[l];
        const double *rates = lanes.host[l]->yearlyRates;
        for (int t = 0; t < kProjectionSlots; ++t) {
            const BridgeGrowth<double> growth = growthOfYear(rates, t);
            putLane(tables.indexation[t], l, indexationOfYear(rates, t, terms.indexationShare));
            putLane(tables.growth[t].inflation, l, growth.inflation);
            putLane(tables.growth[t].secondRate, l, growth.secondRate);
            putLane(tables.growth[t].both, l, growth.both);
            putLane(tables.salaryCeiling[t], l, basis.salaryCeiling[t]);
        }
        for (int past = 0; past < kPastCeilingSlots; ++past)
            for (int t = 0; t < kProjectionSlots; ++t)
                putLane(tables.ceilingAverage[past][t], l, basis.ceilingAverageByYear[past][t]);
        for (int band = 0; band < kServiceBands; ++band)
            for (int age = 0; age < kAnnuityAges; ++age)
                for (int v = 0; v < 4; ++v)
                    putLane(tables.deferredAnnuity[band][age][v], l, basis.deferredAnnuityTable[band][age][v]);
    }
}
