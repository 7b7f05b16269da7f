#include "scenario_files.h"

#include <cstddef>
#include <cstring>

#include "result_files.h"
#include "valuation_files.h"

const char *const kDistributionNames[TALVEK_DISTRIBUTION_SIZE] = {"mean", "p5", "p25", "p50", "p75", "p95"};

namespace {

constexpr size_t kWriteChunk = 65536;

// The doubles of one scenario's values: the stride of a figure from one
// scenario to the next.
constexpr int64_t kScenarioStride = sizeof(TalvekScenarioValues) / sizeof(double);
static_assert(sizeof(TalvekScenarioValues) % sizeof(double) == 0, "a scenario's values are doubles only");

int64_t scenariosValued(const TalvekScenarioResults &results) {
    return results.values == nullptr ? 0 : results.scenario_count;
}

// scenario_cashflows.csv scenario by scenario through the stream's buffer
// (a set of thousands is not held whole), every write checked.
bool writeCashflowsFile(const std::filesystem::path &path, const ScenarioFileSet &set,
                        const TalvekScenarioResults &results, const std::string &comment, std::string &problem) {
    std::FILE *out = openForWriting(path, problem);
    if (out == nullptr) return false;
    std::string text = commentLine(comment) + scenarioCashflowsHeader();
    const int64_t count = scenariosValued(results);
    bool written = true;
    for (int64_t k = 0; written && k <= count; ++k) {
        if (k > 0) text += scenarioCashflowRows(set.labels[size_t(k - 1)], results.cashflows + (k - 1) * kCashflowElements);
        if (text.size() >= kWriteChunk || k == count) {
            written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
            text.clear();
        }
    }
    return finishWriting(out, written, path, problem);
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

std::string scenarioPresentValuesText(const ScenarioFileSet &set, const TalvekScenarioResults &results,
                                      const std::string &comment) {
    std::string text = commentLine(comment) +
                       "scenario,group,pvfb,pv_contributions,dbo,service_cost,pvfb_duration,contributions_duration,"
                       "dbo_duration";
    for (int block = 1; block <= kCashflowBlocks; ++block) text += std::string(",pv_") + kCashflowColumns[block];
    text += '\n';
    for (int64_t k = 0; k < scenariosValued(results); ++k) {
        for (int group = 0; group < kGroups; ++group) {
            const TalvekPresentValues &pv = results.values[k].present_values[group];
            text += std::to_string(set.labels[size_t(k)]) + ',' + kGroupNames[group];
            appendPresentValues(text, pv);
            text += '\n';
        }
    }
    return text;
}

std::string scenarioDistributionText(const TalvekScenarioResults &results, const std::string &comment) {
    std::string text = commentLine(comment) + "year,cashflow";
    for (const char *name : kDistributionNames) text += std::string(",") + name;
    text += '\n';
    for (int year = 0; year < kYearSlots; ++year) {
        for (int block = 1; block <= kCashflowBlocks; ++block) {
            text += std::to_string(year) + ',' + kCashflowColumns[block];
            for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) {
                text += ',';
                appendNumber(text, results.distribution[d][TALVEK_ELEMENT(block, year)]);
            }
            text += '\n';
        }
    }
    return text;
}

std::string scenarioCashflowsHeader() {
    std::string header = "scenario,year";
    for (int block = 1; block <= kCashflowBlocks; ++block) header += std::string(",") + kCashflowColumns[block];
    return header + '\n';
}

std::string scenarioCashflowRows(int64_t label, const double *cashflows) {
    std::string rows;
    const std::string scenario = std::to_string(label) + ',';
    for (int year = 0; year < kYearSlots; ++year) {
        rows += scenario + std::to_string(year);
        for (int block = 1; block <= kCashflowBlocks; ++block) {
            rows += ',';
            appendNumber(rows, cashflows[TALVEK_ELEMENT(block, year)]);
        }
        rows += '\n';
    }
    return rows;
}

bool writeScenarioFiles(const std::filesystem::path &directory, const ScenarioFileSet &set,
                        const TalvekScenarioResults &results, bool withCashflows, const std::string &comment,
                        std::vector<std::string> &written, std::string &problem) {
    if (!writeWholeFile(directory / kScenarioPresentValuesFile, scenarioPresentValuesText(set, results, comment),
                        problem))
        return false;
    written.push_back(kScenarioPresentValuesFile);
    if (!writeWholeFile(directory / kScenarioDistributionFile, scenarioDistributionText(results, comment), problem))
        return false;
    written.push_back(kScenarioDistributionFile);
    if (withCashflows) {
        if (!writeCashflowsFile(directory / kScenarioCashflowsFile, set, results, comment, problem)) return false;
        written.push_back(kScenarioCashflowsFile);
    }
    return true;
}

void presentValueDistribution(const TalvekScenarioResults &results, size_t figure,
                              double out[TALVEK_DISTRIBUTION_SIZE]) {
    const int64_t count = scenariosValued(results);
    // no scenario valued (a stop in the first): no distribution, all 0
    const double *first = count > 0 ? reinterpret_cast<const double *>(&results.values[0].present_values[kAllMembers]) + figure
                                    : nullptr;
    talvek_distribution_of(first, count, kScenarioStride, out);
}

void writeScenarioSummary(std::FILE *out, const ScenarioFileSet &set, const TalvekScenarioResults &results,
                          const std::string &shownFile) {
    const int64_t count = scenariosValued(results);
    std::fprintf(out, "\nEvery member under %lld of the %lld scenarios of %s (mean and percentiles over the "
                      "scenarios):\n",
                 static_cast<long long>(count), static_cast<long long>(scenarioCount(set)), shownFile.c_str());
    const struct {
        const char *name;
        size_t figure;
    } figures[] = {{"DBO", offsetof(TalvekPresentValues, obligation) / sizeof(double)},
                   {"PVFB", offsetof(TalvekPresentValues, benefits) / sizeof(double)}};
    std::vector<std::vector<std::string>> rows = {{"", "mean", "P5", "P25", "P50", "P75", "P95"}};
    for (const auto &figure : figures) {
        double distribution[TALVEK_DISTRIBUTION_SIZE];
        presentValueDistribution(results, figure.figure, distribution);
        std::vector<std::string> row = {figure.name};
        for (const double value : distribution) row.push_back(fixed(value, 0));
        rows.push_back(row);
    }
    printAlignedTable(out, rows);
}
