#include "basis_file.h"

#include <cmath>

#include <gtest/gtest.h>

#include "basis_values.h"
#include "host_test_support.h"

namespace {

struct ReadOutcome {
    bool ok;
    PlanBasis basis;
    std::vector<std::string> errors;
};

ReadOutcome readSmall(const std::string &text, const std::filesystem::path &directory = {}) {
    ReadOutcome outcome;
    outcome.ok = readBasisText(text, "small.toml", directory, outcome.basis, outcome.errors);
    return outcome;
}

std::string allErrors(const ReadOutcome &outcome) {
    std::string text;
    for (const std::string &error : outcome.errors) text += error + "\n";
    return text;
}

double sultDeathProbability(double age) {
    const double c = 1.124;
    return 1.0 - std::exp(-0.00022 - 2.7e-6 * std::pow(c, age) * (c - 1.0) / std::log(c));
}

toml::array numbers(int count, double value) {
    toml::array list;
    for (int i = 0; i < count; ++i) list.push_back(value);
    return list;
}

toml::table ageTable(int from, int count, double value) {
    return toml::table{{"from", from}, {"rates", numbers(count, value)}};
}

} // namespace

TEST(BasisFile, ExampleBasisGivesTheStandardUltimateLawAndThePlanRules) {
    PlanBasis basis;
    std::vector<std::string> errors;
    ASSERT_TRUE(readBasisFile(sourcePath("examples/basis.toml"), "basis.toml", basis, errors))
        << (errors.empty() ? "" : errors.front());
    EXPECT_EQ(basis.valuationYear, 2024);
    EXPECT_EQ(basis.mortalityBaseYear, 2020);
    for (int age : {1, 20, 60, 100, 119}) {
        EXPECT_DOUBLE_EQ(basis.maleBaseMortality[age], sultDeathProbability(age)) << age;
        // women three years younger
        EXPECT_DOUBLE_EQ(basis.femaleBaseMortality[age], sultDeathProbability(age - 3)) << age;
    }
    EXPECT_DOUBLE_EQ(basis.maleImprovement[60], 0.02);
    EXPECT_DOUBLE_EQ(basis.maleImprovement[61], 0.0195);
    EXPECT_DOUBLE_EQ(basis.femaleImprovement[119], 0.0);
    EXPECT_EQ(basis.guaranteePeriod, 5);
    EXPECT_EQ(basis.averagingYears, 5);
    EXPECT_EQ(basis.firstRetirementAge, 55);
    EXPECT_EQ(basis.lastRetirementAge, 67);
    ASSERT_EQ(basis.factorRows.size(), 3u);
    EXPECT_EQ(basis.factorRows[2].serviceFrom, 35);
    EXPECT_EQ(basis.retirementRates.firstAge, 55);
    EXPECT_EQ(basis.retirementRates.values.size(), 12u);
    EXPECT_DOUBLE_EQ(basis.inflation[0], 0.03);
    EXPECT_DOUBLE_EQ(basis.inflation[2], 0.022);
    EXPECT_DOUBLE_EQ(basis.inflation[3], 0.02);
    EXPECT_DOUBLE_EQ(basis.inflation[110], 0.02);
    EXPECT_DOUBLE_EQ(basis.realWageGrowth[57], 0.005);
    EXPECT_EQ(basis.delimiterCode, 2);
    for (int field = 1; field <= kMemberFields; ++field) EXPECT_EQ(basis.fieldColumn[field], field);
    EXPECT_EQ(basis.statusCodes[5], "S");
}

TEST(BasisFile, SmallBasisReadsConstantsShiftsAndAbsentColumns) {
    const ReadOutcome outcome = readSmall(readText(smallBasisPath()));
    ASSERT_TRUE(outcome.ok) << allErrors(outcome);
    const PlanBasis &basis = outcome.basis;
    // one improvement rate for every age
    EXPECT_DOUBLE_EQ(basis.maleImprovement[1], 0.01);
    EXPECT_DOUBLE_EQ(basis.maleImprovement[119], 0.01);
    EXPECT_DOUBLE_EQ(basis.femaleImprovement[50], 0.02);
    EXPECT_DOUBLE_EQ(basis.femaleBaseMortality[70], basis.maleBaseMortality[66]);
    EXPECT_DOUBLE_EQ(basis.maleBaseMortality[50],
                     1.0 - std::exp(-0.0005 - 3.0e-5 * std::pow(1.1, 50) * 0.1 / std::log(1.1)));
    EXPECT_EQ(basis.delimiterCode, 3);
    EXPECT_EQ(basis.fieldColumn[13], 8);
    EXPECT_EQ(basis.fieldColumn[10], 9);
    EXPECT_EQ(basis.fieldColumn[14], 0); // not in the file
    EXPECT_EQ(basis.statusCodes[1], "ACT");
    EXPECT_DOUBLE_EQ(basis.inflation[1], 0.025);
    EXPECT_DOUBLE_EQ(basis.inflation[2], 0.02);
    EXPECT_DOUBLE_EQ(basis.realWageGrowth[0], 0.01);
}

TEST(BasisFile, TablesAndYearlyRatesMayComeFromFilesAndLists) {
    const std::filesystem::path directory = freshDirectory("table-file");
    writeText(directory / "withdrawal.csv", "# leaving service\nage,rate\n20, 0.12\n21,0.10\n\n22,0.05\n");
    toml::array years = numbers(111, 0.02);
    *years.get(0)->as_floating_point() = 0.04;
    toml::table root = toml::parse(editedSmallBasis("economic.inflation", years));
    root.at_path("decrements").as_table()->insert_or_assign(
        "withdrawal_rates", toml::table{{"file", "withdrawal.csv"}});
    std::ostringstream text;
    text << root;
    const ReadOutcome outcome = readSmall(text.str(), directory);
    ASSERT_TRUE(outcome.ok) << allErrors(outcome);
    EXPECT_EQ(outcome.basis.withdrawalRates.firstAge, 20);
    EXPECT_EQ(outcome.basis.withdrawalRates.values, (std::vector<double>{0.12, 0.10, 0.05}));
    EXPECT_DOUBLE_EQ(outcome.basis.inflation[0], 0.04);
    EXPECT_DOUBLE_EQ(outcome.basis.inflation[110], 0.02);

    writeText(directory / "withdrawal.csv", "20,0.12\n22,0.10\n");
    const ReadOutcome gap = readSmall(text.str(), directory);
    EXPECT_FALSE(gap.ok);
    EXPECT_NE(allErrors(gap).find("decrements.withdrawal_rates.file (withdrawal.csv line 2): age 22 "
                                  "breaks the sequence; allowed: consecutive ages, here 21"),
              std::string::npos)
        << allErrors(gap);

    std::filesystem::remove(directory / "withdrawal.csv");
    const ReadOutcome missing = readSmall(text.str(), directory);
    EXPECT_NE(allErrors(missing).find("cannot read the table file \"withdrawal.csv\""), std::string::npos);
}

// Ages of a table file that no int can hold (the largest int then one past
// it, nan, inf, 1e300) or that lie below 0 are refused with a message each,
// and reading them is defined behaviour (the sanitizer build checks that).
TEST(BasisFile, TableFileAgesOutsideAnyTableAreRefused) {
    const std::filesystem::path directory = freshDirectory("table-file-ages");
    toml::table root = toml::parse(editedSmallBasis("economic.inflation", numbers(111, 0.02)));
    root.at_path("decrements").as_table()->insert_or_assign(
        "withdrawal_rates", toml::table{{"file", "withdrawal.csv"}});
    std::ostringstream text;
    text << root;
    const struct {
        const char *lines;
        const char *expected;
    } cases[] = {
        {"2147483647,0.1\n2147483648,0.1\n", "line 1): age 2147483647 is out of range"},
        {"20,0.1\n2147483648,0.1\n", "line 2): age 2147483648 is out of range"},
        {"nan,0.1\n", "line 1): age nan is out of range"},
        {"20,0.1\ninf,0.1\n", "line 2): age inf is out of range"},
        {"1e300,0.1\n", "line 1): age 1e+300 is out of range"},
        {"-1,0.1\n", "line 1): age -1 is out of range"},
        {"1001,0.1\n", "line 1): age 1001 is out of range"},
    };
    for (const auto &c : cases) {
        writeText(directory / "withdrawal.csv", c.lines);
        const ReadOutcome outcome = readSmall(text.str(), directory);
        EXPECT_FALSE(outcome.ok) << c.lines;
        EXPECT_NE(allErrors(outcome).find(c.expected), std::string::npos) << allErrors(outcome);
    }
    // the edge of the accepted range is still read (and then refused by the
    // table's own first-age rule, not by the file reader)
    writeText(directory / "withdrawal.csv", "1000,0.1\n");
    const std::string edge = allErrors(readSmall(text.str(), directory));
    EXPECT_EQ(edge.find("line 1): age 1000"), std::string::npos) << edge;
    EXPECT_NE(edge.find("first age 1000 is out of range"), std::string::npos) << edge;
}

// Each kind of bad value: the message names the file, the key and what is allowed.
struct BadValue {
    std::string key;
    std::string text;     // the basis with the bad value
    std::string problem;  // what the message says is wrong
    std::string allowed;
};

std::vector<BadValue> badValues() {
    return {
        {"plan.averaging_years", editedSmallBasis("plan.averaging_years", 0), "0 is out of range",
         "a whole number from 1 to 59"},
        {"plan.averaging_years", editedSmallBasis("plan.averaging_years", 60), "60 is out of range",
         "a whole number from 1 to 59"},
        {"plan.averaging_years", editedSmallBasis("plan.averaging_years", 4.5), "4.5 is not a whole number",
         "a whole number from 1 to 59"},
        {"plan.guarantee_period", editedSmallBasis("plan.guarantee_period", 0), "0 is out of range",
         "a whole number from 1 to 19"},
        {"plan.guarantee_period", editedSmallBasis("plan.guarantee_period", 20), "20 is out of range",
         "a whole number from 1 to 19"},
        {"plan.retirement_factors.last_age", editedSmallBasis("plan.retirement_factors.last_age", 79),
         "79 is out of range", "a whole number from 58 to 78"},
        {"plan.retirement_factors.first_age", editedSmallBasis("plan.retirement_factors.first_age", 62),
         "62 is out of range", "a whole number from 15 to 61"},
        {"plan.retirement_factors.first_age", editedSmallBasis("plan.retirement_factors.first_age", 59),
         "59 is above decrements.retirement_rates.from (58)", "a whole number from 15 to 58"},
        {"plan.retirement_factors.rows[1].factors",
         editedSmallBasis("plan.retirement_factors.rows", toml::array{
             toml::table{{"service_from", 0}, {"factors", numbers(5, 1.0)}},
             toml::table{{"service_from", 10}, {"factors", numbers(4, 1.0)}}}),
         "4 factors", "one factor for each retirement age 58 to 62 (5 factors)"},
        {"plan.retirement_factors.rows[0].service_from",
         editedSmallBasis("plan.retirement_factors.rows", toml::array{
             toml::table{{"service_from", 5}, {"factors", numbers(5, 1.0)}}}),
         "5 is not 0", "0 for the first row"},
        {"plan.retirement_factors.rows[2].service_from",
         editedSmallBasis("plan.retirement_factors.rows", toml::array{
             toml::table{{"service_from", 0}, {"factors", numbers(5, 1.0)}},
             toml::table{{"service_from", 20}, {"factors", numbers(5, 1.0)}},
             toml::table{{"service_from", 15}, {"factors", numbers(5, 1.0)}}}),
         "15 is below the row before", "a whole number from 20 to 100"},
        {"decrements.spouse_age_difference", editedSmallBasis("decrements.spouse_age_difference", 7),
         "7 is out of range", "a whole number from 0 to 6"},
        {"decrements.retirement_rates", editedSmallBasis("decrements.retirement_rates", ageTable(58, 26, 0.1)),
         "26 ages do not fit the table", "with 1 to 25 ages"},
        {"decrements.withdrawal_rates", editedSmallBasis("decrements.withdrawal_rates", ageTable(20, 31, 0.1)),
         "31 ages do not fit the table", "with 1 to 30 ages"},
        {"decrements.disability_rates", editedSmallBasis("decrements.disability_rates", ageTable(20, 46, 0.1)),
         "46 ages do not fit the table", "with 1 to 45 ages"},
        {"economic.salary_scale", editedSmallBasis("economic.salary_scale", ageTable(20, 47, 0.01)),
         "47 ages do not fit the table", "with 1 to 46 ages"},
        {"decrements.withdrawal_rates.from", editedSmallBasis("decrements.withdrawal_rates", ageTable(14, 3, 0.1)),
         "14 is out of range", "a whole number from 15 to 120"},
        {"decrements.withdrawal_rates.rates[1] (age 21)",
         editedSmallBasis("decrements.withdrawal_rates",
                          toml::table{{"from", 20}, {"rates", toml::array{0.1, "0.08", 0.06}}}),
         "\"0.08\" is not a number", "a number from 0 to 1"},
        {"decrements.disability_rates.rates[0] (age 30)",
         editedSmallBasis("decrements.disability_rates", ageTable(30, 2, 1.5)), "1.5 is out of range",
         "a number from 0 to 1"},
        {"economic.inflation", editedSmallBasis("economic.inflation", toml::value<std::string>("2%")),
         "\"2%\" is not accepted", "one rate for every year"},
        {"economic.real_wage_growth", editedSmallBasis("economic.real_wage_growth", numbers(110, 0.01)),
         "a list of 110 rates", "a list of 111 rates for years 0 to 110"},
        {"decrements.deferred_retirement_age", editedSmallBasis("decrements.deferred_retirement_age", 57),
         "57 is out of range", "0 (retire by the retirement rates) or a whole number from 58 to 120"},
        {"plan.bridge_end_age", editedSmallBasis("plan.bridge_end_age", 59), "59 is out of range",
         "a whole number from 60 to 120"},
        {"member_file.delimiter", editedSmallBasis("member_file.delimiter", toml::value<std::string>("pipe")),
         "\"pipe\" is not a delimiter", "\"tab\", \"comma\", \"semicolon\" or \"space\""},
        {"member_file.status_codes.deferred",
         editedSmallBasis("member_file.status_codes.deferred", toml::value<std::string>("DEFERRED")),
         "\"DEFERRED\" is longer than 5 characters", "a text of up to 5 characters"},
        {"member_file.status_codes.deferred",
         editedSmallBasis("member_file.status_codes.deferred", toml::value<std::string>("ACT")),
         "\"ACT\" is already in_service", "a text of up to 5 characters"},
        {"member_file.columns.average_salary", editedSmallBasis("member_file.columns.average_salary", 5),
         "column 5 is already annual_salary", "a column of its own from 1 to 20"},
        {"member_file.columns.age", editedSmallBasis("member_file.columns.age", 21), "21 is out of range",
         "a whole number from 1 to 20"},
        {"plan.spouse_fraction", smallBasisWithout("plan.spouse_fraction"), "missing",
         "a number from 0 to 1"},
        {"plan.guarante_period", editedSmallBasis("plan.guarante_period", 5), "unknown key",
         "the keys averaging_years"},
        {"economic.discount_rate.years_1_to_9", editedSmallBasis("economic.discount_rate.years_1_to_9", 0.04),
         "unknown key", "the keys years_1_to_10, years_11_to_110"},
        {"valuation_yaer", editedSmallBasis("valuation_yaer", 2024), "unknown key", "the keys valuation_year"},
    };
}

TEST(BasisFile, EveryKindOfBadValueIsReportedWithFileKeyAndRange) {
    for (const BadValue &bad : badValues()) {
        const ReadOutcome outcome = readSmall(bad.text);
        EXPECT_FALSE(outcome.ok) << bad.key;
        const std::string expected = bad.key + ": " + bad.problem;
        std::string line;
        for (const std::string &error : outcome.errors) {
            if (error.find(expected) != std::string::npos) line = error;
        }
        ASSERT_FALSE(line.empty()) << "expected: " << expected << "\ngot: " << allErrors(outcome);
        EXPECT_EQ(line.rfind("small.toml", 0), 0u) << line;
        const size_t allowedAt = line.find("; allowed: ");
        ASSERT_NE(allowedAt, std::string::npos) << line;
        EXPECT_NE(line.find(bad.allowed, allowedAt), std::string::npos)
            << "expected: " << bad.allowed << "\ngot: " << line;
    }
}

TEST(BasisFile, EveryProblemIsListedAtOnceWithItsLine) {
    toml::table root = toml::parse(editedSmallBasis("plan.guarantee_period", 0));
    root.at_path("decrements").as_table()->insert_or_assign("spouse_age_difference", 9);
    std::ostringstream text;
    text << root;
    const ReadOutcome outcome = readSmall(text.str());
    ASSERT_EQ(outcome.errors.size(), 2u) << allErrors(outcome);
    EXPECT_EQ(outcome.errors[0].rfind("small.toml:", 0), 0u);
    // "small.toml:<line>: key..." with the line of the value
    EXPECT_NE(outcome.errors[0].find(": plan.guarantee_period: 0 is out of range"), std::string::npos);
    EXPECT_NE(outcome.errors[1].find("decrements.spouse_age_difference: 9 is out of range"), std::string::npos);
}

TEST(BasisFile, TenRowsAllFromNoServiceAreRefused) {
    toml::array rows;
    for (int i = 0; i < 10; ++i) rows.push_back(toml::table{{"service_from", 0}, {"factors", numbers(5, 1.0)}});
    const ReadOutcome outcome = readSmall(editedSmallBasis("plan.retirement_factors.rows", rows));
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(allErrors(outcome).find("plan.retirement_factors.rows: ten rows all from 0 years"),
              std::string::npos);
    toml::array eleven = rows;
    eleven.push_back(toml::table{{"service_from", 0}, {"factors", numbers(5, 1.0)}});
    EXPECT_NE(allErrors(readSmall(editedSmallBasis("plan.retirement_factors.rows", eleven)))
                  .find("not 1 to 10 rows"),
              std::string::npos);
}

TEST(BasisFile, TextThatIsNotTomlIsRefusedWithItsLine) {
    const ReadOutcome outcome = readSmall("valuation_year = 2024\nplan = [\n");
    ASSERT_EQ(outcome.errors.size(), 1u);
    EXPECT_NE(outcome.errors[0].find("small.toml:"), std::string::npos);
    EXPECT_NE(outcome.errors[0].find("not a TOML file"), std::string::npos);
}

TEST(BasisFile, MakehamRatesStopAtOne) {
    // a steep law passes 1 well before the oldest age
    toml::table law{{"makeham", toml::table{{"a", 0.01}, {"b", 0.01}, {"c", 1.5}}}};
    const ReadOutcome outcome = readSmall(editedSmallBasis("mortality.male.base", law));
    ASSERT_TRUE(outcome.ok) << allErrors(outcome);
    EXPECT_DOUBLE_EQ(outcome.basis.maleBaseMortality[119], 1.0);
    EXPECT_LT(outcome.basis.maleBaseMortality[1], 0.03);
    EXPECT_DOUBLE_EQ(makehamDeathProbability(0.0, 0.0, 1.1, 40.0), 0.0);
}
