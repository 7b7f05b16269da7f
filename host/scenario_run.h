// How a member file and a scenario set are valued: the one place that hands
// them to the engine. A build that spreads the work over several machines
// replaces these functions (and only them): it must give the same results,
// for a set the first scenario's run in results and every scenario's figures
// in set order.
#pragma once

#include "scenario_file.h"
#include "talvek/engine.h"

// Values every member of def under every scenario of set; returns the
// engine's TalvekStatus. scenarios must be released with
// talvek_release_scenarios whatever the status.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &set, TalvekResults &results,
                         TalvekScenarioResults &scenarios);

// Values every member of def: talvek_value when presentValues, else
// talvek_run; returns the engine's TalvekStatus. valuation must be released
// with talvek_release_valuation whatever the status.
int32_t valueMemberFile(const TalvekRunDef &def, bool presentValues, TalvekResults &results,
                        TalvekValuation &valuation);
