// The results of a scenario set as files and on the terminal: each
// scenario's present values by group, the distribution of every cash flow
// over the scenarios, each scenario's cash flows (when asked for), and the
// distribution of the DBO and the PVFB in the summary
// (docs/valuation-results.md, "Scenario results").
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "scenario_file.h"
#include "talvek/engine.h"

constexpr const char *kScenarioPresentValuesFile = "scenario_present_values.csv";
constexpr const char *kScenarioDistributionFile = "scenario_cashflow_distribution.csv";
constexpr const char *kScenarioCashflowsFile = "scenario_cashflows.csv";

// The names of the distribution's elements, by TalvekDistributionElement:
// "mean", "p5", "p25", "p50", "p75", "p95".
extern const char *const kDistributionNames[TALVEK_DISTRIBUTION_SIZE];

// scenario_present_values.csv: "scenario,group,<the columns of
// present_values.csv>", a row per scenario valued and group, total first.
std::string scenarioPresentValuesText(const ScenarioFileSet &set, const TalvekScenarioResults &results,
                                      const std::string &comment);

// scenario_cashflow_distribution.csv: "year,cashflow,mean,p5,p25,p50,p75,p95",
// a row per year 0..110 and cash-flow column.
std::string scenarioDistributionText(const TalvekScenarioResults &results, const std::string &comment);

// One scenario's rows of scenario_cashflows.csv ("scenario,year,<the columns
// of benefit_cashflows.csv>"), years 0..110.
std::string scenarioCashflowRows(int64_t label, const double *cashflows);
std::string scenarioCashflowsHeader();

// Writes the scenario files into directory (scenario_cashflows.csv only with
// withCashflows), each flushed to the disk; their names are added to written.
// False at the first that cannot be written, with the reason in problem.
bool writeScenarioFiles(const std::filesystem::path &directory, const ScenarioFileSet &set,
                        const TalvekScenarioResults &results, bool withCashflows, const std::string &comment,
                        std::vector<std::string> &written, std::string &problem);

// The distribution of one figure of every member's present values (an
// offset into TalvekPresentValues, in doubles) over the scenarios valued.
void presentValueDistribution(const TalvekScenarioResults &results, size_t figure,
                              double out[TALVEK_DISTRIBUTION_SIZE]);

// The summary's scenario part: the set, and the mean and percentiles of the
// DBO and the PVFB over the scenarios.
void writeScenarioSummary(std::FILE *out, const ScenarioFileSet &set, const TalvekScenarioResults &results,
                          const std::string &shownFile);
