// The scenario file reader: a good file laid out as the engine takes it, the
// basis's vectors where the file leaves them out, years beyond the projection
// skipped, and the message of each way a file can be wrong.
#include <gtest/gtest.h>

#include "host_test_support.h"
#include "scenario_file.h"
#include "sha256.h"

namespace {

const PlanBasis &smallBasis() {
    static const PlanBasis basis = basisFromText(readText(smallBasisPath()));
    return basis;
}

// Rows of one scenario for years first..last: inflation 0.01 + year / 10000,
// salary growth 0.002, the given extra cells appended to each row.
std::string scenarioRows(int label, int first = 0, int last = 110, const std::string &extra = "") {
    std::string rows;
    for (int year = first; year <= last; ++year)
        rows += std::to_string(label) + "," + std::to_string(year) + "," + std::to_string(0.01 + year / 10000.0) +
                ",0.002" + extra + "\n";
    return rows;
}

const std::string kHeader = "scenario,year,inflation,salary_growth\n";

struct Read {
    bool ok;
    ScenarioFileSet set;
    std::string problem;
};

Read readSet(const std::string &text) {
    Read read;
    read.ok = readScenarioText(text, "set.csv", smallBasis(), read.set, read.problem);
    return read;
}

// The message of a refused file; the test fails when it is accepted.
std::string problemOf(const std::string &text) {
    const Read read = readSet(text);
    EXPECT_FALSE(read.ok) << "accepted: " << text.substr(0, 200);
    EXPECT_EQ(scenarioCount(read.set), 0) << "a refused file keeps nothing";
    return read.problem;
}

TEST(ScenarioFile, ReadsEveryScenarioInTheEnginesLayout) {
    const Read read = readSet(kHeader + scenarioRows(7) + scenarioRows(3));
    ASSERT_TRUE(read.ok) << read.problem;
    ASSERT_EQ(scenarioCount(read.set), 2);
    EXPECT_EQ(read.set.labels, (std::vector<int64_t>{7, 3}));
    ASSERT_EQ(read.set.yearlyRates.size(), size_t(2 * TALVEK_YEARLY_RATES_SIZE));
    for (int k = 0; k < 2; ++k) {
        const double *rates = read.set.yearlyRates.data() + k * TALVEK_YEARLY_RATES_SIZE;
        for (const int year : {0, 1, 55, 110}) {
            EXPECT_DOUBLE_EQ(rates[TALVEK_YEARLY_INFLATION + year], 0.01 + year / 10000.0) << year;
            EXPECT_EQ(rates[TALVEK_YEARLY_SALARY_GROWTH + year], 0.002) << year;
        }
    }
    // neither a curve nor annuity rates: the engine takes the basis's
    const TalvekScenarioSet engine = engineScenarioSet(read.set);
    EXPECT_EQ(engine.scenario_count, 2);
    EXPECT_EQ(engine.curve_kind, TALVEK_CURVE_BASIS);
    EXPECT_EQ(engine.discount_curves, nullptr);
    EXPECT_EQ(engine.annuity_rates, nullptr);
    EXPECT_EQ(engine.yearly_rates, read.set.yearlyRates.data());
}

TEST(ScenarioFile, TakesColumnsInAnyOrderWithQuotesCommentsAndCrLf) {
    std::string text = "# made by hand\r\n\"salary_growth\", year ,scenario\r\n";
    for (int year = 0; year <= 110; ++year) text += "0.0" + std::to_string(year % 10) + "," + std::to_string(year) + ",1\r\n";
    text += "\n";
    const Read read = readSet(text);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.set.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + 23], 0.03);
    // no inflation column: the basis's row
    for (const int year : {0, 1, 110})
        EXPECT_EQ(read.set.yearlyRates[TALVEK_YEARLY_INFLATION + year], smallBasis().inflation[year]);
}

TEST(ScenarioFile, YearZeroMissingTakesTheBasissYearZero) {
    const Read read = readSet(kHeader + scenarioRows(1, 1, 110));
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.set.yearlyRates[TALVEK_YEARLY_INFLATION + 0], smallBasis().inflation[0]);
    EXPECT_EQ(read.set.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + 0], smallBasis().realWageGrowth[0]);
    EXPECT_DOUBLE_EQ(read.set.yearlyRates[TALVEK_YEARLY_INFLATION + 1], 0.0101);
}

TEST(ScenarioFile, YearsAboveTheProjectionAreSkippedAndNotKept) {
    std::string text = kHeader + scenarioRows(1);
    // rows beyond year 110, even with values that would be refused in a kept year
    for (int year = 111; year <= 5000; ++year) text += "1," + std::to_string(year) + ",-7,x\n";
    text += scenarioRows(2);
    const Read read = readSet(text);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(scenarioCount(read.set), 2);
    EXPECT_EQ(read.set.skippedRows, 4890);
    EXPECT_EQ(read.set.yearlyRates.size(), size_t(2 * TALVEK_YEARLY_RATES_SIZE));
    EXPECT_EQ(read.set.yearlyRates.capacity() <= size_t(4 * TALVEK_YEARLY_RATES_SIZE), true);
}

TEST(ScenarioFile, ForwardAndSpotCurvesWithYearZeroEmpty) {
    for (const std::string column : {"discount_rate", "spot_rate"}) {
        std::string text = "scenario,year," + column + "\n1,0,\n";
        for (int year = 1; year <= 110; ++year) text += "1," + std::to_string(year) + "," + std::to_string(0.02 + year / 100000.0) + "\n";
        const Read read = readSet(text);
        ASSERT_TRUE(read.ok) << read.problem;
        const TalvekScenarioSet engine = engineScenarioSet(read.set);
        EXPECT_EQ(engine.curve_kind, column == "spot_rate" ? TALVEK_CURVE_SPOT_RATES : TALVEK_CURVE_FORWARD_RATES);
        ASSERT_NE(engine.discount_curves, nullptr);
        EXPECT_EQ(engine.discount_curves[0], 0.0);
        EXPECT_DOUBLE_EQ(engine.discount_curves[1], 0.02001);
        EXPECT_DOUBLE_EQ(engine.discount_curves[110], 0.0211);
        // the yearly rates are the basis's
        EXPECT_EQ(read.set.yearlyRates[TALVEK_YEARLY_INFLATION + 5], smallBasis().inflation[5]);
    }
}

TEST(ScenarioFile, AnnuityRatesOnePerScenarioTheOthersFromTheBasis) {
    const std::string header = "scenario,year,inflation,salary_growth,annuity_discount_rate_years_1_to_10\n";
    const Read read = readSet(header + scenarioRows(1, 0, 110, ",0.041") + scenarioRows(2, 0, 110, ",0.05"));
    ASSERT_TRUE(read.ok) << read.problem;
    ASSERT_EQ(read.set.annuityRates.size(), size_t(2 * TALVEK_ANNUITY_RATES));
    const double *second = read.set.annuityRates.data() + TALVEK_ANNUITY_RATES;
    EXPECT_EQ(read.set.annuityRates[TALVEK_ANNUITY_DISCOUNT_YEARS_1_TO_10], 0.041);
    EXPECT_EQ(second[TALVEK_ANNUITY_DISCOUNT_YEARS_1_TO_10], 0.05);
    EXPECT_EQ(second[TALVEK_ANNUITY_DISCOUNT_YEARS_11_TO_110], smallBasis().discountRateYears11To110);
    EXPECT_EQ(second[TALVEK_ANNUITY_INDEXATION_YEARS_1_TO_10], smallBasis().indexationRateYears1To10);
    EXPECT_EQ(second[TALVEK_ANNUITY_INDEXATION_YEARS_11_TO_110], smallBasis().indexationRateYears11To110);
    EXPECT_EQ(engineScenarioSet(read.set).annuity_rates, read.set.annuityRates.data());

    std::string differing = header + scenarioRows(1, 0, 5, ",0.041") + "1,6,0.01,0.002,0.042\n";
    EXPECT_EQ(problemOf(differing), "set.csv: line 8, column 5 (annuity_discount_rate_years_1_to_10): 0.042 differs "
                                    "from 0.041 on line 2 of scenario 1 (the annuity rates are one value per scenario)");
}

TEST(ScenarioFile, HeaderFaultsNameTheColumn) {
    EXPECT_EQ(problemOf("scenario,year,inflaton\n"),
              "set.csv: line 1, column 3: unknown column \"inflaton\" (the columns are scenario, year, inflation, "
              "salary_growth, discount_rate, spot_rate, annuity_discount_rate_years_1_to_10, "
              "annuity_discount_rate_years_11_to_110, annuity_indexation_rate_years_1_to_10, "
              "annuity_indexation_rate_years_11_to_110)");
    EXPECT_EQ(problemOf("scenario,year,inflation,year\n"),
              "set.csv: line 1, column 4: the column \"year\" appears again (first in column 2)");
    EXPECT_EQ(problemOf("# note\nscenario,inflation\n1,0.02\n"),
              "set.csv: line 2: the header has no column \"year\", which every scenario file needs");
    EXPECT_EQ(problemOf("year,inflation\n"),
              "set.csv: line 1: the header has no column \"scenario\", which every scenario file needs");
    EXPECT_EQ(problemOf("scenario,year,spot_rate,discount_rate\n"),
              "set.csv: line 1, column 4 (discount_rate): discount_rate and spot_rate both give the discount "
              "curve; give one of them");
}

TEST(ScenarioFile, ValueFaultsNameLineAndColumn) {
    const std::string good = kHeader + scenarioRows(1, 0, 2);
    EXPECT_EQ(problemOf(good + "1,3,abc,0.002\n"), "set.csv: line 5, column 3 (inflation): \"abc\" is not a finite number");
    EXPECT_EQ(problemOf(good + "1,3,0.01,\n"), "set.csv: line 5, column 4 (salary_growth): \"\" is not a finite number");
    EXPECT_EQ(problemOf(good + "1,3,inf,0.002\n"), "set.csv: line 5, column 3 (inflation): \"inf\" is not a finite number");
    EXPECT_EQ(problemOf(good + "1,3,1e999,0.002\n"), "set.csv: line 5, column 3 (inflation): \"1e999\" is not a finite number");
    EXPECT_EQ(problemOf(good + "1,3,0.01,-1\n"), "set.csv: line 5, column 4 (salary_growth): -1 is a rate of -1 or below");
    EXPECT_EQ(problemOf(good + "1,3,-1.5,0.002\n"), "set.csv: line 5, column 3 (inflation): -1.5 is a rate of -1 or below");
    EXPECT_EQ(problemOf(good + "1,3,0.01\n"), "set.csv: line 5: 3 fields where the header has 4");
    EXPECT_EQ(problemOf(good + "0,3,0.01,0.002\n"),
              "set.csv: line 5, column 1 (scenario): \"0\" is not a scenario label (a whole number 1 or above)");
    EXPECT_EQ(problemOf(good + "1,3.0,0.01,0.002\n"),
              "set.csv: line 5, column 2 (year): \"3.0\" is not a year (a whole number 0 or above)");
    std::string curve = "scenario,year,discount_rate\n1,0,\n1,1,\n";
    EXPECT_EQ(problemOf(curve), "set.csv: line 3, column 3 (discount_rate): \"\" is not a finite number");
}

TEST(ScenarioFile, YearOrderFaults) {
    const std::string good = kHeader + scenarioRows(1, 0, 5);
    EXPECT_EQ(problemOf(good + "1,3,0.01,0.002\n"),
              "set.csv: line 8, column 2 (year): year 3 of scenario 1 appears again (first on line 5)");
    EXPECT_EQ(problemOf(kHeader + "1,5,0.01,0.002\n1,4,0.01,0.002\n"),
              "set.csv: line 3, column 2 (year): year 4 of scenario 1 comes after year 5 (the years of a scenario ascend)");
    EXPECT_EQ(problemOf(kHeader + scenarioRows(1, 0, 44) + scenarioRows(1, 46, 110) + scenarioRows(2)),
              "set.csv: lines 2 to 111, column 2 (year): scenario 1 has no row for year 45 (years 1 to 110 are all needed)");
    EXPECT_EQ(problemOf(kHeader + scenarioRows(1, 0, 100)),
              "set.csv: lines 2 to 102, column 2 (year): scenario 1 has no rows for years 101, 102, 103, 104, 105 "
              "and 5 more (years 1 to 110 are all needed)");
    EXPECT_EQ(problemOf(kHeader + scenarioRows(1) + scenarioRows(2) + "1,111,0.01,0.002\n"),
              "set.csv: line 224, column 1 (scenario): scenario 1 appears again after scenario 2 (each scenario's "
              "rows must be together)");
}

TEST(ScenarioFile, EmptySetsAndUnreadableFiles) {
    EXPECT_EQ(problemOf(""), "set.csv: the file is empty: it has no header line");
    EXPECT_EQ(problemOf("# only a note\n\n"), "set.csv: the file is empty: it has no header line");
    EXPECT_EQ(problemOf(kHeader), "set.csv: the file holds no scenario (a header and no rows)");
    ScenarioFileSet set;
    std::string problem;
    EXPECT_FALSE(readScenarioFile("/nonexistent/set.csv", "set.csv", smallBasis(), set, problem));
    EXPECT_EQ(problem, "set.csv: cannot read the scenario file: No such file or directory");
}

TEST(ScenarioFile, FileAndTextReadTheSameWithTheFilesDigest) {
    const auto directory = freshDirectory("scenario-file");
    const std::string text = kHeader + scenarioRows(1) + scenarioRows(2);
    writeText(directory / "set.csv", text);
    ScenarioFileSet fromFile;
    std::string problem;
    ASSERT_TRUE(readScenarioFile(directory / "set.csv", "set.csv", smallBasis(), fromFile, problem)) << problem;
    const Read fromText = readSet(text);
    ASSERT_TRUE(fromText.ok);
    EXPECT_EQ(fromFile.yearlyRates, fromText.set.yearlyRates);
    EXPECT_EQ(fromFile.labels, fromText.set.labels);
    EXPECT_EQ(fromFile.sha256, sha256OfText(text));
    EXPECT_EQ(fromFile.bytes, text.size());
}

} // namespace
