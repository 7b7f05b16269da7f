// The basis file's [discount] curve and [sensitivities] set: the forms
// accepted, the curve carried on to year 110, and every refusal with its
// message.
#include "valuation_basis.h"

#include <gtest/gtest.h>

#include "basis_file.h"
#include "host_test_support.h"

namespace {

struct ReadOutcome {
    bool ok;
    PlanBasis basis;
    std::vector<std::string> errors;
};

// The small basis with the given tables added at its end (keys of the top
// level, which must come before every table, at its start).
ReadOutcome readWith(const std::string &tables) {
    ReadOutcome outcome;
    const bool topLevel = !tables.empty() && tables[0] != '[';
    const std::string text =
        topLevel ? tables + "\n" + readText(smallBasisPath()) : readText(smallBasisPath()) + "\n" + tables + "\n";
    outcome.ok = readBasisText(text, "small.toml", {}, outcome.basis, outcome.errors);
    return outcome;
}

std::string allErrors(const ReadOutcome &outcome) {
    std::string text;
    for (const std::string &error : outcome.errors) text += error + "\n";
    return text;
}

} // namespace

TEST(ValuationBasis, WithoutTheTablesTheCurveIsTheBasisRatesAndTheSetTheDefault) {
    const ReadOutcome outcome = readWith("");
    ASSERT_TRUE(outcome.ok) << allErrors(outcome);
    const ValuationBasis &v = outcome.basis.valuation;
    EXPECT_EQ(v.curveForm, CurveForm::BasisRates);
    EXPECT_EQ(v.termsGiven, 0);
    for (int t = 0; t <= kCurveYears; ++t) EXPECT_EQ(v.curve[t], 0.0) << t;
    EXPECT_FALSE(v.sensitivitiesGiven);
    const std::vector<std::pair<SensitivityKind, double>> expected = {
        {SensitivityKind::DiscountRate, -0.005}, {SensitivityKind::DiscountRate, 0.005},
        {SensitivityKind::Inflation, -0.005},    {SensitivityKind::Inflation, 0.005},
        {SensitivityKind::SalaryGrowth, -0.005}, {SensitivityKind::SalaryGrowth, 0.005},
        {SensitivityKind::Mortality, 0.9},       {SensitivityKind::Mortality, 1.1}};
    ASSERT_EQ(v.sensitivities.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(v.sensitivities[i].kind, expected[i].first) << i;
        EXPECT_EQ(v.sensitivities[i].size, expected[i].second) << i;
    }
}

TEST(ValuationBasis, ACurveShorterThan110YearsCarriesItsLastRateOn) {
    const ReadOutcome spot = readWith("[discount]\nspot_rates = [0.01, 0.015, 0.02]");
    ASSERT_TRUE(spot.ok) << allErrors(spot);
    EXPECT_EQ(spot.basis.valuation.curveForm, CurveForm::SpotRates);
    EXPECT_EQ(spot.basis.valuation.termsGiven, 3);
    EXPECT_EQ(spot.basis.valuation.curve[1], 0.01);
    EXPECT_EQ(spot.basis.valuation.curve[2], 0.015);
    for (int t = 3; t <= kCurveYears; ++t) EXPECT_EQ(spot.basis.valuation.curve[t], 0.02) << t;

    // one rate: every year's; negative rates above -1 are rates like others
    const ReadOutcome forward = readWith("[discount]\nforward_rates = [-0.002]");
    ASSERT_TRUE(forward.ok) << allErrors(forward);
    EXPECT_EQ(forward.basis.valuation.curveForm, CurveForm::ForwardRates);
    EXPECT_EQ(forward.basis.valuation.termsGiven, 1);
    for (int t = 1; t <= kCurveYears; ++t) EXPECT_EQ(forward.basis.valuation.curve[t], -0.002) << t;

    // all 110 years: nothing carried
    std::string rates;
    for (int t = 1; t <= kCurveYears; ++t) rates += (t > 1 ? ", " : "") + std::to_string(t / 1000.0);
    const ReadOutcome full = readWith("[discount]\nforward_rates = [" + rates + "]");
    ASSERT_TRUE(full.ok) << allErrors(full);
    EXPECT_EQ(full.basis.valuation.termsGiven, kCurveYears);
    EXPECT_DOUBLE_EQ(full.basis.valuation.curve[kCurveYears], 0.11);
    EXPECT_DOUBLE_EQ(full.basis.valuation.curve[55], 0.055);
}

TEST(ValuationBasis, ASensitivitiesTableReplacesTheWholeDefaultSetInTheOrderOfTheKinds) {
    const ReadOutcome outcome =
        readWith("[sensitivities]\nmortality = [0.8]\ndiscount_rate = [0.01, -0.01, 0.0025]\ninflation = []");
    ASSERT_TRUE(outcome.ok) << allErrors(outcome);
    const ValuationBasis &v = outcome.basis.valuation;
    EXPECT_TRUE(v.sensitivitiesGiven);
    ASSERT_EQ(v.sensitivities.size(), 4u);
    EXPECT_EQ(v.sensitivities[0].kind, SensitivityKind::DiscountRate);
    EXPECT_EQ(v.sensitivities[0].size, 0.01);
    EXPECT_EQ(v.sensitivities[1].size, -0.01);
    EXPECT_EQ(v.sensitivities[2].size, 0.0025);
    EXPECT_EQ(v.sensitivities[3].kind, SensitivityKind::Mortality);
    EXPECT_EQ(v.sensitivities[3].size, 0.8);
    // an empty table: no sensitivity at all
    const ReadOutcome none = readWith("[sensitivities]");
    ASSERT_TRUE(none.ok) << allErrors(none);
    EXPECT_TRUE(none.basis.valuation.sensitivities.empty());
    // exactly the room the engine has
    std::string sixteen;
    for (int i = 0; i < kMaxSensitivities; ++i) sixteen += (i > 0 ? ", " : "") + std::to_string(0.001 * (i + 1));
    const ReadOutcome full = readWith("[sensitivities]\nsalary_growth = [" + sixteen + "]");
    ASSERT_TRUE(full.ok) << allErrors(full);
    EXPECT_EQ(full.basis.valuation.sensitivities.size(), size_t(kMaxSensitivities));
}

TEST(ValuationBasis, EveryBadCurveOrSetIsRefusedWithTheKeyAndWhatIsAllowed) {
    std::string seventeen;
    for (int i = 0; i < kMaxSensitivities + 1; ++i) seventeen += (i > 0 ? ", " : "") + std::string("0.001");
    std::string rates111;
    for (int t = 0; t < kCurveYears + 1; ++t) rates111 += (t > 0 ? ", " : "") + std::string("0.02");
    const std::string curveShape = "exactly one of spot_rates = [term 1, term 2, ...] (annual spot rates by term) or "
                                   "forward_rates = [year 1, year 2, ...] (the rate of each year), 1 to 110 rates";
    const struct Case {
        std::string tables;
        std::string message; // the whole message after "small.toml:<line>: "
    } cases[] = {
        {"[discount]", "discount: neither spot_rates nor forward_rates; allowed: " + curveShape},
        {"[discount]\nspot_rates = [0.02]\nforward_rates = [0.02]",
         "discount: both spot_rates and forward_rates; allowed: " + curveShape},
        {"discount = 0.03", "discount: not a table; allowed: " + curveShape},
        {"[discount]\nspot_rates = 0.03", "discount.spot_rates: not a list; allowed: " + curveShape},
        {"[discount]\nforward_rates = []", "discount.forward_rates: a list of 0 rates; allowed: " + curveShape},
        {"[discount]\nforward_rates = [" + rates111 + "]",
         "discount.forward_rates: a list of 111 rates; allowed: " + curveShape},
        {"[discount]\nspot_rates = [0.02, -1]",
         "discount.spot_rates[1] (term 2): -1 is out of range; allowed: a number above -1 and at most 1"},
        {"[discount]\nforward_rates = [0.02, 0.02, 1.5]",
         "discount.forward_rates[2] (year 3): 1.5 is out of range; allowed: a number above -1 and at most 1"},
        {"[discount]\nforward_rates = [\"3%\"]",
         "discount.forward_rates[0] (year 1): \"3%\" is not a number; allowed: a number above -1 and at most 1"},
        {"[discount]\nforward_rates = [nan]",
         "discount.forward_rates[0] (year 1): nan is not a finite number; allowed: a number above -1 and at most 1"},
        {"[discount]\nspot_rates = [0.02]\nspot_rate = [0.02]",
         "discount.spot_rate: unknown key; allowed: the keys spot_rates, forward_rates"},
        {"[sensitivities]\nmortality = [0.9, 0]",
         "sensitivities.mortality[1]: 0 is out of range; allowed: a number above 0 and at most 10"},
        {"[sensitivities]\ninflation = [-1]",
         "sensitivities.inflation[0]: -1 is out of range; allowed: a number above -1 and at most 1"},
        {"[sensitivities]\nsalary_growth = 0.005",
         "sensitivities.salary_growth: not a list; allowed: a list of rates added, each a number above -1 and at "
         "most 1"},
        {"[sensitivities]\nlongevity = [0.9]",
         "sensitivities.longevity: unknown key; allowed: the keys discount_rate, inflation, salary_growth, "
         "mortality"},
        {"[sensitivities]\ndiscount_rate = [" + seventeen + "]",
         "sensitivities: 17 sensitivities; allowed: at most 16 in all"},
        {"sensitivities = [0.9]",
         "sensitivities: not a table; allowed: a table of lists: discount_rate, inflation, salary_growth, "
         "mortality"},
    };
    for (const Case &bad : cases) {
        const ReadOutcome outcome = readWith(bad.tables);
        EXPECT_FALSE(outcome.ok) << bad.tables;
        ASSERT_EQ(outcome.errors.size(), 1u) << bad.tables << "\n" << allErrors(outcome);
        const std::string &error = outcome.errors[0];
        // the file and the line, then the message
        EXPECT_EQ(error.rfind("small.toml:", 0), 0u) << error;
        const size_t after = error.find(": ");
        ASSERT_NE(after, std::string::npos) << error;
        EXPECT_EQ(error.substr(after + 2), bad.message) << bad.tables;
    }
}

TEST(ValuationBasis, ProblemsOfTheValuationTablesAreListedWithThoseOfTheRestOfTheBasis) {
    const std::string text = editedSmallBasis("plan.guarantee_period", 0) +
                             "\n[discount]\nspot_rates = [-2]\n[sensitivities]\nmortality = [-1]\n";
    PlanBasis basis;
    std::vector<std::string> errors;
    EXPECT_FALSE(readBasisText(text, "b.toml", {}, basis, errors));
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[0].find("plan.guarantee_period"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("discount.spot_rates[0] (term 1): -2 is out of range"), std::string::npos) << errors[1];
    EXPECT_NE(errors[2].find("sensitivities.mortality[0]: -1 is out of range"), std::string::npos) << errors[2];
}
