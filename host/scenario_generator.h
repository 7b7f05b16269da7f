// Example scenario sets: made-up economic scenarios around a basis's rates,
// the same bytes for the same arguments on every machine (the random numbers,
// the normal draws and the functions they need are computed here in plain
// double arithmetic, without the library's distributions or its exp, log
// and cos, whose last bits differ between libraries and processors).
// docs/scenario-file.md describes both models and their parameters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "plan_basis.h"

enum class ScenarioModel {
    MeanReverting, // each rate pulled back towards its long-run level every year
    Lognormal,     // 1 + rate lognormal, each year drawn afresh around the long-run level
};

// The levels the scenarios move around.
struct ScenarioLevels {
    double inflationStart = 0.02;      // year 0
    double inflationLongRun = 0.02;
    double salaryGrowthStart = 0.005;  // year 0
    double salaryGrowthLongRun = 0.005;
    double realDiscountStart = 0.015;  // year 1's discount rate less year 0's inflation
    double realDiscountLongRun = 0.01; // the long discount rate less long-run inflation
};

// The basis's levels: year 0 and year 110 of its yearly rates, its two
// discount rates less inflation.
ScenarioLevels levelsOfBasis(const PlanBasis &basis);

// Rows "scenario,year,inflation,salary_growth,discount_rate" of scenarios
// 1..count, years 0..110 (year 0's discount rate empty), after one comment
// line naming the model and the seed. False when a write fails.
bool writeScenarios(std::FILE *out, int64_t count, uint64_t seed, ScenarioModel model, const ScenarioLevels &levels);

// The arithmetic the generator draws with, exposed for the tests.
struct RandomStream {
    uint64_t state[4];
};
void seedRandomStream(RandomStream &stream, uint64_t seed);
uint64_t nextRandom(RandomStream &stream);       // xoshiro256**
double uniformOpen(RandomStream &stream);        // in (0, 1)
double standardNormal(RandomStream &stream);     // Box-Muller
double plainLog(double x);                       // x > 0
double plainExp(double x);
double plainCos(double x);                       // |x| <= 2 pi

// `talvek generate-scenarios`: the set written to a temporary file beside
// outputFile and renamed into place; the exit status.
int generateScenariosCommand(int64_t count, uint64_t seed, const std::string &model, const std::string &basisFile,
                             const std::string &outputFile);
