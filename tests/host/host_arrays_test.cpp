#include "host_arrays.h"

#include <gtest/gtest.h>

#include "basis_file.h"
#include "host_test_support.h"

namespace {

PlanBasis smallBasis() {
    PlanBasis basis;
    std::vector<std::string> errors;
    EXPECT_TRUE(readBasisFile(smallBasisPath(), "small.toml", basis, errors));
    return basis;
}

HostArraySet filledSmall() {
    HostArraySet arrays;
    fillHostArrays(smallBasis(), arrays);
    return arrays;
}

} // namespace

TEST(HostArrays, MortalityStandsAtTheAgeForMenAndAtAgePlus121ForWomen) {
    const PlanBasis basis = smallBasis();
    const HostArraySet a = filledSmall();
    ASSERT_EQ(a.baseMortality.size(), 241u);
    for (int age = 1; age <= 119; ++age) {
        EXPECT_EQ(a.baseMortality[age], basis.maleBaseMortality[age]);
        EXPECT_EQ(a.baseMortality[age + 121], basis.femaleBaseMortality[age]);
        EXPECT_EQ(a.mortalityImprovement[age], 0.01);
        EXPECT_EQ(a.mortalityImprovement[age + 121], 0.02);
    }
    for (int unused : {0, 120, 121}) {
        EXPECT_EQ(a.baseMortality[unused], 0.0);
        EXPECT_EQ(a.mortalityImprovement[unused], 0.0);
    }
    EXPECT_EQ(a.valuationYear, 2024);
    EXPECT_EQ(a.mortalityBaseYear, 2022);
}

TEST(HostArrays, ColumnMapStatusCodesAndDelimiter) {
    const HostArraySet a = filledSmall();
    EXPECT_EQ(a.delimiterCode, 3);
    const int expected[21] = {0, 1, 2, 3, 4, 5, 6, 0, 7, 0, 9, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    for (int field = 0; field <= 20; ++field) EXPECT_EQ(a.columnMap[field], expected[field]) << field;
    const char *codes[6] = {"", "ACT", "PEN", "DIS", "DEF", "SUR"};
    for (int status = 0; status <= 5; ++status) EXPECT_STREQ(a.statusCodes[status], codes[status]);
    // codes 6..9 take no part but must still be texts
    for (int unused = 6; unused <= 9; ++unused) EXPECT_STREQ(a.statusCodes[unused], "");
}

TEST(HostArrays, PlanDemographicAndEconomicParametersAtTheirElements) {
    const HostArraySet a = filledSmall();
    const double plan[16] = {0, 0.01, 0.02, 0.03, 0.04, 3, 0.01, 0.02, 0.004, 0.5, 0, 0, 0.6, 2, 60, 64};
    for (int e = 0; e < 16; ++e) EXPECT_EQ(a.planParameters[e], plan[e]) << e;
    const double demographic[6] = {0, 1.5, 4, 0.25, 2, 0};
    for (int e = 0; e < 6; ++e) EXPECT_EQ(a.demographicParameters[e], demographic[e]) << e;
    for (int e = 0; e < 20; ++e) {
        const double expected = e == 3 ? 0.02 : e == 11 ? 0.04 : e == 12 ? 0.03 : e == 15 ? 0.02
                              : e == 16 ? 0.015 : e == 19 ? 50000.0 : 0.0;
        EXPECT_EQ(a.economicParameters[e], expected) << e;
    }
}

TEST(HostArrays, RetirementFactorRowsOf22WithTheLastRowRepeated) {
    const HostArraySet a = filledSmall();
    EXPECT_EQ(a.retirementFactors[1], 58.0);
    EXPECT_EQ(a.retirementFactors[21], 62.0);
    EXPECT_EQ(a.retirementFactors[2], 59.0);
    EXPECT_EQ(a.retirementFactors[5], 62.0);
    EXPECT_EQ(a.retirementFactors[22], 0.0);
    const double first[5] = {0.8, 0.85, 0.9, 0.95, 1.0};
    const double second[5] = {0.9, 0.92, 0.94, 0.96, 1.0};
    for (int v = 1; v <= 5; ++v) {
        EXPECT_EQ(a.retirementFactors[22 + v], first[v - 1]);
        EXPECT_EQ(a.retirementFactors[44 + v], second[v - 1]);
    }
    EXPECT_EQ(a.retirementFactors[44], 10.0);
    // rows 3..10 copy row 2 one year of service later: bounds rise from the
    // first row to the last, and the copies hold the same factors
    for (int row = 3; row <= 10; ++row) {
        EXPECT_EQ(a.retirementFactors[22 * row], 11.0) << row;
        for (int v = 1; v <= 5; ++v) EXPECT_EQ(a.retirementFactors[22 * row + v], second[v - 1]);
    }
    EXPECT_LT(a.retirementFactors[22], a.retirementFactors[220]);
}

TEST(HostArrays, ASingleFactorRowStillLeavesRisingBounds) {
    PlanBasis basis = smallBasis();
    basis.factorRows.resize(1);
    HostArraySet a;
    fillHostArrays(basis, a);
    EXPECT_EQ(a.retirementFactors[22], 0.0);
    EXPECT_EQ(a.retirementFactors[220], 1.0);
    EXPECT_EQ(a.retirementFactors[221], 0.8); // the copy keeps the factors
}

// The rate the library looks up for age x: 0 below the first age, the
// fallback from the last age on, the table in between.
double rateAt(const std::vector<double> &table, const AgeTableLayout &layout, int age, double fromLast) {
    const int first = static_cast<int>(table[1]);
    const int last = static_cast<int>(table[layout.lastAgeElement]);
    if (age < first) return 0.0;
    if (age >= last) return fromLast;
    return table[layout.firstValue + age - first];
}

TEST(HostArrays, RateTablesKeepAgesAndRatesInTheirColumns) {
    const HostArraySet a = filledSmall();
    EXPECT_EQ(a.retirementRates[1], 58.0);
    EXPECT_EQ(a.retirementRates[26], 62.0); // everyone retires at 62, after the last listed age
    EXPECT_EQ(a.retirementRates[27], 0.0);
    EXPECT_EQ(a.withdrawalRates[1], 20.0);
    EXPECT_EQ(a.withdrawalRates[31], 23.0);
    EXPECT_EQ(a.disabilityRates[1], 30.0);
    EXPECT_EQ(a.disabilityRates[46], 32.0);
    // every listed rate is used; the table stops after the last one
    EXPECT_EQ(rateAt(a.retirementRates, kRetirementRateLayout, 57, 1.0), 0.0);
    EXPECT_EQ(rateAt(a.retirementRates, kRetirementRateLayout, 58, 1.0), 0.1);
    EXPECT_EQ(rateAt(a.retirementRates, kRetirementRateLayout, 61, 1.0), 0.4);
    EXPECT_EQ(rateAt(a.retirementRates, kRetirementRateLayout, 62, 1.0), 1.0);
    EXPECT_EQ(rateAt(a.withdrawalRates, kWithdrawalRateLayout, 22, 0.0), 0.06);
    EXPECT_EQ(rateAt(a.withdrawalRates, kWithdrawalRateLayout, 23, 0.0), 0.0);
    EXPECT_EQ(rateAt(a.disabilityRates, kDisabilityRateLayout, 31, 0.0), 0.002);
    // the ages column runs on from the first age and holds the stop age to its end
    for (int e = 2; e <= 26; ++e) EXPECT_EQ(a.retirementRates[e], std::min(57 + e, 62));
}

TEST(HostArrays, SalaryScaleCarriesItsLastValueToTheFinalElement) {
    const HostArraySet a = filledSmall();
    EXPECT_EQ(a.salaryScale[1], 25.0);
    EXPECT_EQ(a.salaryScale[46], 27.0);
    EXPECT_EQ(a.salaryScale[48], 0.03); // also every age below 25
    EXPECT_EQ(a.salaryScale[49], 0.02);
    EXPECT_EQ(a.salaryScale[50], 0.01);
    EXPECT_EQ(a.salaryScale[93], 0.01); // every age above 27
}

TEST(HostArrays, YearlyRatesInTwoRowsOf111AndResultsZero) {
    const HostArraySet a = filledSmall();
    EXPECT_EQ(a.yearlyRates[0], 0.03);
    EXPECT_EQ(a.yearlyRates[1], 0.025);
    EXPECT_EQ(a.yearlyRates[2], 0.02);
    EXPECT_EQ(a.yearlyRates[110], 0.02);
    EXPECT_EQ(a.yearlyRates[111], 0.01);
    EXPECT_EQ(a.yearlyRates[221], 0.01);
    EXPECT_EQ(a.memberCounts.size(), 2553u);
    EXPECT_EQ(a.decrementCounts.size(), 1776u);
    EXPECT_EQ(a.benefitCashflows.size(), 2109u);
    for (double value : a.memberCounts) EXPECT_EQ(value, 0.0);
}

TEST(HostArrays, EngineAssumptionsPointAtTheSetsArrays) {
    HostArraySet a = filledSmall();
    const TalvekAssumptions e = engineAssumptions(a);
    EXPECT_EQ(e.valuation_year, a.valuationYear);
    EXPECT_EQ(e.mortality_base_year, a.mortalityBaseYear);
    EXPECT_EQ(e.delimiter_code, a.delimiterCode);
    EXPECT_EQ(e.plan_parameters, a.planParameters.data());
    EXPECT_EQ(e.plan_parameters[TALVEK_PLAN_GUARANTEE_PERIOD], 2.0);
    EXPECT_EQ(e.column_map, a.columnMap.data());
    EXPECT_EQ(e.yearly_rates, a.yearlyRates.data());
    // every status code points at its text, element 0 included
    for (int k = 0; k < TALVEK_STATUS_CODES_SIZE; ++k) EXPECT_EQ(e.status_codes[k], a.statusCodeText[k].c_str());
}
