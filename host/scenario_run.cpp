#include "scenario_run.h"

// One process values the whole set on def's jobs, scenario after scenario.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &set, TalvekResults &results,
                         TalvekScenarioResults &scenarios) {
    const TalvekScenarioSet engineSet = engineScenarioSet(set);
    return talvek_value_scenarios(&def, &engineSet, &results, &scenarios);
}
