// A run definition of the engine's C interface checked and turned into an
// engine run: shared by the plain run and the valuation.
#pragma once

#include <cstdint>

#include "engine/engine_run.h"
#include "talvek/engine.h"

// How one engine run of a definition is made: the assumptions (the
// definition's own, or a sensitivity's copy), whether it writes the
// definition's reports, what it values beside the arrays, and its share of
// the progress the caller is shown: members done are reported from
// `progressBefore` on, against `progressTotal` (0: the member total alone).
struct DefinitionRun {
    const TalvekAssumptions *assumptions;
    bool reports;
    const EngineValuation *valuation;
    int64_t memberTotal;   // the callback's total for one run; 0: the line reads of the file
    int64_t progressBefore;
    int64_t progressTotal;
    // A block of scenarios: each lane's assumptions (kScenarioLanes of them)
    // and where the block's sums go; the counts are those of `assumptions`.
    // Each member done counts `progressScale` towards the progress shown.
    const TalvekAssumptions *const *laneAssumptions = nullptr;
    ScenarioBlockSums *blockSums = nullptr;
    int64_t progressScale = 1;
    // With the definition's piece exchange: this run's number in it, and
    // whether this process gives its pieces (talvek_value_pieces) or joins.
    int32_t shareRun = 0;
    bool giving = false;
};

// The first thing wrong with the definition, or null when it can be run.
const char *definitionProblem(const TalvekRunDef &def);

MemberSource sourceOf(const TalvekRunDef &def);

// results->status and message set; returns status.
int32_t failRun(TalvekResults *results, int32_t status, const char *message);

// One engine run of the definition into results (filled, not added to).
int32_t runDefinition(const TalvekRunDef &def, const DefinitionRun &run, TalvekResults &results);
