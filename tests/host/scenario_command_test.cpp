// End-to-end: `talvek run --scenarios` on the example plan. A scenario of the
// basis's own rates gives today's present values to the bit, identical
// scenarios identical rows, the distribution file is the sort and
// interpolation of scenario_cashflows.csv, the files do not depend on the
// number of jobs, and the options a scenario set cannot go with are refused.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "sha256.h"

namespace fs = std::filesystem;

namespace {

const PlanBasis &exampleBasis() {
    static const PlanBasis basis = basisFromText(readText(sourcePath("examples/basis.toml")));
    return basis;
}

std::string shortest(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// One scenario of the basis's own yearly rates (and, when asked, its own
// annuity rates and its two discount rates as a forward curve).
std::string basisScenario(int label, bool everyColumn) {
    const PlanBasis &b = exampleBasis();
    std::string rows;
    for (int year = 0; year <= 110; ++year) {
        rows += std::to_string(label) + ',' + std::to_string(year) + ',' + shortest(b.inflation[year]) + ',' +
                shortest(b.realWageGrowth[year]);
        if (everyColumn) {
            rows += ',' + (year == 0 ? std::string() : shortest(year <= 10 ? b.discountRateYears1To10 : b.discountRateYears11To110));
            for (const double rate : {b.discountRateYears1To10, b.discountRateYears11To110, b.indexationRateYears1To10,
                                      b.indexationRateYears11To110})
                rows += ',' + shortest(rate);
        }
        rows += '\n';
    }
    return rows;
}

const std::string kYearlyHeader = "scenario,year,inflation,salary_growth\n";
const std::string kEveryHeader = "scenario,year,inflation,salary_growth,discount_rate,"
                                 "annuity_discount_rate_years_1_to_10,annuity_discount_rate_years_11_to_110,"
                                 "annuity_indexation_rate_years_1_to_10,annuity_indexation_rate_years_11_to_110\n";

CommandResult runExample(const fs::path &out, const std::string &options) {
    return runTalvek("run " + options + " --basis " + sourcePath("examples/basis.toml").string() + " --members " +
                     sourcePath("examples/members.txt").string() + " --out " + out.string());
}

// The rows of a CSV without its comment lines, the header first.
std::vector<std::vector<std::string>> rowsOf(const fs::path &file) {
    auto rows = readCsv(file);
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const std::vector<std::string> &row) { return !row.empty() && !row[0].empty() && row[0][0] == '#'; }),
               rows.end());
    return rows;
}

double number(const std::string &cell) { return std::strtod(cell.c_str(), nullptr); }

TEST(ScenarioRun, TheBasissOwnRatesGiveTodaysPresentValuesToTheBit) {
    const fs::path directory = freshDirectory("scenario-run-basis");
    const CommandResult plain = runExample(directory / "plain", "");
    ASSERT_EQ(plain.status, 0) << plain.err;
    const auto today = rowsOf(directory / "plain" / "present_values.csv");
    for (const bool everyColumn : {false, true}) {
        const fs::path file = directory / "set.csv";
        writeText(file, (everyColumn ? kEveryHeader : kYearlyHeader) + basisScenario(5, everyColumn));
        const fs::path out = directory / (everyColumn ? "every" : "yearly");
        const CommandResult run = runExample(out, "--scenarios " + file.string());
        ASSERT_EQ(run.status, 0) << run.err;
        const auto scenario = rowsOf(out / "scenario_present_values.csv");
        ASSERT_EQ(scenario.size(), today.size());
        // the same columns after the label
        EXPECT_EQ(scenario[0][0], "scenario");
        EXPECT_EQ(std::vector<std::string>(scenario[0].begin() + 1, scenario[0].end()), today[0]);
        for (size_t r = 1; r < today.size(); ++r) {
            EXPECT_EQ(scenario[r][0], "5");
            EXPECT_EQ(std::vector<std::string>(scenario[r].begin() + 1, scenario[r].end()), today[r])
                << "group " << today[r][0] << (everyColumn ? " with every column" : "");
        }
        // the first scenario's arrays are today's
        for (const char *name : {"member_counts.csv", "decrement_counts.csv", "benefit_cashflows.csv"})
            EXPECT_EQ(readText(out / name), readText(directory / "plain" / name)) << name;
        EXPECT_EQ(readText(out / "member_listing.txt"), readText(directory / "plain" / "member_listing.txt"));
        EXPECT_FALSE(fs::exists(out / "present_values.csv"));
    }
}

TEST(ScenarioRun, IdenticalScenariosGiveIdenticalRowsAndTheRecordNamesTheFile) {
    const fs::path directory = freshDirectory("scenario-run-twins");
    const fs::path file = directory / "set.csv";
    const std::string text = kYearlyHeader + basisScenario(2, false) + basisScenario(9, false);
    writeText(file, text);
    const CommandResult run = runExample(directory / "out", "--scenarios " + file.string());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = rowsOf(directory / "out" / "scenario_present_values.csv");
    ASSERT_EQ(rows.size(), 13u);
    for (size_t r = 1; r <= 6; ++r) {
        EXPECT_EQ(rows[r][0], "2");
        EXPECT_EQ(rows[r + 6][0], "9");
        EXPECT_EQ(std::vector<std::string>(rows[r].begin() + 1, rows[r].end()),
                  std::vector<std::string>(rows[r + 6].begin() + 1, rows[r + 6].end()));
    }
    // the groups add up to the total
    const int pvfb = 2;
    double statuses = 0.0;
    for (size_t r = 2; r <= 6; ++r) statuses += number(rows[r][pvfb]);
    EXPECT_NEAR(statuses, number(rows[1][pvfb]), 1e-9 * number(rows[1][pvfb]));
    const std::string record = readText(directory / "out" / "run.json");
    EXPECT_NE(record.find("\"sha256\": \"" + sha256OfText(text) + "\""), std::string::npos) << record;
    EXPECT_NE(record.find("\"scenario_count\": 2, \"scenarios_valued\": 2"), std::string::npos) << record;
    EXPECT_NE(record.find("\"complete\": true"), std::string::npos);
}

// P(p) = x[floor h] + (h - floor h)(x[floor h + 1] - x[floor h]), h = (n - 1) p
double percentile(std::vector<double> sorted, double p) {
    std::sort(sorted.begin(), sorted.end());
    const double h = double(sorted.size() - 1) * p;
    const size_t below = size_t(std::floor(h));
    if (below + 1 >= sorted.size()) return sorted.back();
    return sorted[below] + (h - double(below)) * (sorted[below + 1] - sorted[below]);
}

TEST(ScenarioRun, TheDistributionIsTheScenariosCashflowsSortedAndInterpolated) {
    const fs::path directory = freshDirectory("scenario-run-distribution");
    const fs::path file = directory / "set.csv";
    ASSERT_EQ(runTalvek("generate-scenarios --count 7 --seed 11 --basis " + sourcePath("examples/basis.toml").string() +
                        " --out " + file.string()).status, 0);
    const CommandResult run = runExample(directory / "out", "--scenario-cashflows --scenarios " + file.string());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto flows = rowsOf(directory / "out" / "scenario_cashflows.csv");
    ASSERT_EQ(flows.size(), 1u + 7u * 111u);
    // values[year][column] over the scenarios, in file order
    std::map<std::pair<std::string, std::string>, std::vector<double>> values;
    for (size_t r = 1; r < flows.size(); ++r)
        for (size_t c = 2; c < flows[0].size(); ++c) values[{flows[r][1], flows[0][c]}].push_back(number(flows[r][c]));
    const auto distribution = rowsOf(directory / "out" / "scenario_cashflow_distribution.csv");
    ASSERT_EQ(distribution[0], (std::vector<std::string>{"year", "cashflow", "mean", "p5", "p25", "p50", "p75", "p95"}));
    ASSERT_EQ(distribution.size(), 1u + 111u * 18u);
    int spread = 0;
    for (size_t r = 1; r < distribution.size(); ++r) {
        const std::vector<double> &x = values[{distribution[r][0], distribution[r][1]}];
        ASSERT_EQ(x.size(), 7u) << distribution[r][0] << " " << distribution[r][1];
        double sum = 0.0;
        for (const double value : x) sum += value;
        EXPECT_EQ(number(distribution[r][2]), sum / 7.0) << r;
        const double p[] = {0.05, 0.25, 0.50, 0.75, 0.95};
        for (int d = 0; d < 5; ++d) EXPECT_EQ(number(distribution[r][3 + d]), percentile(x, p[d])) << r << " " << d;
        if (number(distribution[r][3]) < number(distribution[r][7])) ++spread;
    }
    // the scenarios differ: most flows are spread
    EXPECT_GT(spread, 1000);
    // the summary shows the DBO's distribution: its mean over scenario_present_values.csv
    const auto pv = rowsOf(directory / "out" / "scenario_present_values.csv");
    double dbo = 0.0;
    for (size_t r = 1; r < pv.size(); ++r)
        if (pv[r][1] == "total") dbo += number(pv[r][4]);
    char mean[64];
    std::snprintf(mean, sizeof mean, "%.0f", dbo / 7.0);
    const size_t line = run.out.find("  DBO  ");
    ASSERT_NE(line, std::string::npos) << run.out;
    EXPECT_NE(run.out.substr(line, run.out.find('\n', line) - line).find(mean), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("PVFB"), std::string::npos);
}

TEST(ScenarioRun, OneAndTwoJobsWriteTheSameBytes) {
    const fs::path directory = freshDirectory("scenario-run-jobs");
    const fs::path file = directory / "set.csv";
    ASSERT_EQ(runTalvek("generate-scenarios --count 4 --seed 5 --model lognormal --out " + file.string()).status, 0);
    for (const char *jobs : {"1", "2"}) {
        const CommandResult run = runExample(directory / (std::string("jobs") + jobs),
                                             std::string("--scenario-cashflows --jobs ") + jobs + " --scenarios " + file.string());
        ASSERT_EQ(run.status, 0) << run.err;
    }
    int compared = 0;
    for (const auto &entry : fs::directory_iterator(directory / "jobs1")) {
        const std::string name = entry.path().filename().string();
        // the record holds the command line, the jobs and the times
        if (name == "run.json") continue;
        EXPECT_EQ(readText(entry.path()), readText(directory / "jobs2" / name)) << name;
        ++compared;
    }
    EXPECT_EQ(compared, 10);
}

TEST(ScenarioRun, OptionsAScenarioSetCannotGoWithAndBadFilesAreRefused) {
    const fs::path directory = freshDirectory("scenario-run-refused");
    const fs::path file = directory / "set.csv";
    writeText(file, kYearlyHeader + basisScenario(1, false));
    for (const std::string option : {"--per-member", "--sensitivities", "--no-present-values"}) {
        const CommandResult run = runExample(directory / "out", option + " --scenarios " + file.string());
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_NE(run.err.find("cannot be combined with " + option), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(directory / "out"));
    }
    EXPECT_EQ(runExample(directory / "out", "--scenario-cashflows").status, 2);
    writeText(file, kYearlyHeader + "1,0,0.02,x\n");
    const CommandResult bad = runExample(directory / "out", "--scenarios " + file.string());
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 2, column 4 (salary_growth): \"x\" is not a finite number; nothing was run"),
              std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(directory / "out"));
    // a scenario whose curve has no positive discount factor is refused by the valuation, earlier results kept
    ASSERT_EQ(runExample(directory / "out", "").status, 0);
    const std::string before = readText(directory / "out" / "present_values.csv");
    std::string curve = "scenario,year,spot_rate\n1,0,\n";
    for (int year = 1; year <= 110; ++year) curve += "1," + std::to_string(year) + ",-0.9999999\n";
    writeText(file, curve);
    const CommandResult refused = runExample(directory / "out", "--scenarios " + file.string());
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(readText(directory / "out" / "present_values.csv"), before);
    // a scenario file inside --out would go with the old results
    const fs::path inside = directory / "out" / "set.csv";
    writeText(inside, kYearlyHeader + basisScenario(1, false));
    const CommandResult lost = runExample(directory / "out", "--scenarios " + inside.string());
    EXPECT_EQ(lost.status, 2);
    EXPECT_NE(lost.err.find("is inside --out"), std::string::npos) << lost.err;
    EXPECT_TRUE(fs::exists(inside));
}

} // namespace
