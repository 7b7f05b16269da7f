// The scenario file: a set of economic scenarios as a tidy CSV, one row per
// scenario and year (docs/scenario-file.md). The reader streams the file a
// line at a time and keeps only the set's vectors, laid out as the engine's
// TalvekScenarioSet takes them; what a file leaves out is the basis's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "plan_basis.h"
#include "talvek/engine.h"

// The columns a scenario file may have, by name.
enum ScenarioColumn {
    kScenarioLabelColumn = 0,
    kScenarioYearColumn,
    kScenarioInflationColumn,
    kScenarioSalaryGrowthColumn,
    kScenarioDiscountRateColumn, // forward rate of year t
    kScenarioSpotRateColumn,     // annual spot rate of term t
    kScenarioAnnuityDiscount1To10Column,
    kScenarioAnnuityDiscount11To110Column,
    kScenarioAnnuityIndexation1To10Column,
    kScenarioAnnuityIndexation11To110Column,
    kScenarioColumns
};
extern const char *const kScenarioColumnNames[kScenarioColumns];

constexpr int kScenarioLastYear = 110;      // years 0..110 are kept, later ones skipped
constexpr int kYearlyRateRow = TALVEK_YEAR_SLOTS; // one row of yearly_rates: years 0..110

// The set read, ready for the engine: scenario k's yearly rates at
// yearlyRates[k * TALVEK_YEARLY_RATES_SIZE], its annuity rates (when the file
// gives any of the four) at annuityRates[k * TALVEK_ANNUITY_RATES], its curve
// (when the file gives one) at discountCurves[k * TALVEK_CURVE_SIZE].
struct ScenarioFileSet {
    std::vector<int64_t> labels;        // the file's labels, in its order
    std::vector<double> yearlyRates;    // inflation row then salary growth row, per scenario
    std::vector<double> annuityRates;   // empty: the basis's four rates
    std::vector<double> discountCurves; // empty: the basis's curve
    int32_t curveKind = TALVEK_CURVE_BASIS; // TALVEK_CURVE_FORWARD_RATES or _SPOT_RATES with curves
    bool columnGiven[kScenarioColumns] = {};
    int64_t lines = 0;                  // lines of the file, the header included
    int64_t skippedRows = 0;            // rows of years above 110
    std::string sha256;                 // of the bytes read
    uint64_t bytes = 0;
};

int64_t scenarioCount(const ScenarioFileSet &set);

// Reads and checks the file at path (named shownName in messages), taking
// what it leaves out from basis. False with one message naming the file,
// the line and the column in problem; set is then empty.
bool readScenarioFile(const std::filesystem::path &path, const std::string &shownName, const PlanBasis &basis,
                      ScenarioFileSet &set, std::string &problem);

// The same from text in memory (the file's bytes).
bool readScenarioText(const std::string &text, const std::string &shownName, const PlanBasis &basis,
                      ScenarioFileSet &set, std::string &problem);

// The engine's view of the set (the set must outlive it).
TalvekScenarioSet engineScenarioSet(const ScenarioFileSet &set);
