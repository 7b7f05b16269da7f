#include "scenario_run.h"

// One process values the whole set on def's jobs, scenario after scenario.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &set, TalvekResults &results,
                         TalvekScenarioResults &scenarios) {
    const TalvekScenarioSet engineSet = engineScenarioSet(set);
    return talvek_value_scenarios(&def, &engineSet, &results, &scenarios);
}

// One process values every piece of the file on def's jobs.
int32_t valueMemberFile(const TalvekRunDef &def, bool presentValues, TalvekResults &results,
                        TalvekValuation &valuation) {
    return presentValues ? talvek_value(&def, &results, &valuation) : talvek_run(&def, &results);
}
