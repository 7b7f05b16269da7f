// How a scenario set is valued: the one place that hands the set to the
// engine. A build that spreads the scenarios over several machines replaces
// this function (and only it): it must give the same results, the first
// scenario's run in results and every scenario's figures in set order.
#pragma once

#include "scenario_file.h"
#include "talvek/engine.h"

// Values every member of def under every scenario of set; returns the
// engine's TalvekStatus. scenarios must be released with
// talvek_release_scenarios whatever the status.
int32_t valueScenarioSet(const TalvekRunDef &def, const ScenarioFileSet &set, TalvekResults &results,
                         TalvekScenarioResults &scenarios);
