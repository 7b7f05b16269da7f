// The discount curve and the present values worked by hand on small flows.
#include "engine/present_values.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<double> economicWith(double shortRate, double longRate) {
    std::vector<double> economic(TALVEK_ECONOMIC_SIZE);
    economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10] = shortRate;
    economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110] = longRate;
    return economic;
}

TEST(DiscountCurve, TheBasisRatesGiveYearsOneToTenAndElevenOnAndTheMidYearFactors) {
    const std::vector<double> economic = economicWith(0.04, 0.03);
    DiscountCurve curve;
    int32_t year = -1;
    ASSERT_EQ(buildDiscountCurve(curve, TALVEK_CURVE_BASIS, nullptr, 0.0, economic.data(), &year), nullptr);
    EXPECT_EQ(curve.factors[0], 1.0);
    EXPECT_NEAR(curve.factors[10], std::pow(1.04, -10), 1e-15);
    EXPECT_NEAR(curve.factors[11], std::pow(1.04, -10) / 1.03, 1e-15);
    EXPECT_NEAR(curve.factors[110] / (std::pow(1.04, -10) * std::pow(1.03, -100)), 1.0, 1e-13);
    // inside a year at its constant forward rate: v(t - 0.5) = v(t - 1) (1 + f)^-0.5
    EXPECT_NEAR(curve.midYear[1], 1.0 / std::sqrt(1.04), 1e-15);
    EXPECT_NEAR(curve.midYear[11], curve.factors[10] / std::sqrt(1.03), 1e-15);
    EXPECT_EQ(curve.midYear[0], 0.0);
    EXPECT_NEAR(curve.time[3], 2.5 * curve.midYear[3], 1e-15);
}

TEST(DiscountCurve, ForwardAndSpotRatesAndTheirShiftAndABadRate) {
    const std::vector<double> economic = economicWith(0.0, 0.0);
    std::vector<double> forward(TALVEK_CURVE_SIZE, 0.025);
    std::vector<double> spot(TALVEK_CURVE_SIZE, 0.025);
    DiscountCurve byForward, bySpot, shifted;
    int32_t year = 0;
    ASSERT_EQ(buildDiscountCurve(byForward, TALVEK_CURVE_FORWARD_RATES, forward.data(), 0.0, economic.data(), &year),
              nullptr);
    ASSERT_EQ(buildDiscountCurve(bySpot, TALVEK_CURVE_SPOT_RATES, spot.data(), 0.0, economic.data(), &year), nullptr);
    for (int t = 1; t < TALVEK_CURVE_SIZE; ++t) EXPECT_NEAR(byForward.factors[t] / bySpot.factors[t], 1.0, 1e-13);
    // a shift moves every rate: flat 2.5 % - 0.5 % is flat 2 %
    ASSERT_EQ(buildDiscountCurve(shifted, TALVEK_CURVE_SPOT_RATES, spot.data(), -0.005, economic.data(), &year),
              nullptr);
    EXPECT_NEAR(shifted.factors[20], std::pow(1.02, -20), 1e-15);

    forward[33] = -1.0;
    const char *problem =
        buildDiscountCurve(byForward, TALVEK_CURVE_FORWARD_RATES, forward.data(), 0.0, economic.data(), &year);
    ASSERT_NE(problem, nullptr);
    EXPECT_EQ(year, 33);
    forward[33] = std::nan("");
    EXPECT_NE(buildDiscountCurve(byForward, TALVEK_CURVE_FORWARD_RATES, forward.data(), 0.0, economic.data(), &year),
              nullptr);
}

// Flows of 100 in years 1 and 2 of one block at 10 %: PV = 100 / 1.1^0.5 +
// 100 / 1.1^1.5, duration = (0.5 x 100 / 1.1^0.5 + 1.5 x 100 / 1.1^1.5) / PV.
TEST(PresentValues, TwoYearsOfFlowsByHandAndTheGroupsOfBlocks) {
    const std::vector<double> economic = economicWith(0.10, 0.10);
    DiscountCurve curve;
    int32_t year = 0;
    ASSERT_EQ(buildDiscountCurve(curve, TALVEK_CURVE_BASIS, nullptr, 0.0, economic.data(), &year), nullptr);
    std::vector<double> flows(TALVEK_BENEFIT_CASHFLOWS_SIZE), accrued(TALVEK_BENEFIT_CASHFLOWS_SIZE),
        oneYear(TALVEK_BENEFIT_CASHFLOWS_SIZE);
    const int pension = TALVEK_CASHFLOWS_DISABILITY_PENSION_FEMALE;
    flows[TALVEK_ELEMENT(pension, 1)] = 100.0;
    flows[TALVEK_ELEMENT(pension, 2)] = 100.0;
    flows[TALVEK_ELEMENT(TALVEK_CASHFLOWS_CONTRIBUTIONS_MALE, 1)] = 50.0;
    accrued[TALVEK_ELEMENT(pension, 2)] = 40.0;
    oneYear[TALVEK_ELEMENT(pension, 2)] = 70.0;

    const TalvekPresentValues values = presentValuesOf(flows.data(), accrued.data(), oneYear.data(), curve);
    const double pv = 100.0 / std::sqrt(1.1) + 100.0 / std::pow(1.1, 1.5);
    EXPECT_NEAR(values.cashflows[pension], pv, 1e-12);
    EXPECT_NEAR(values.benefits, pv, 1e-12);
    EXPECT_NEAR(values.benefits_duration, (0.5 * 100.0 / std::sqrt(1.1) + 1.5 * 100.0 / std::pow(1.1, 1.5)) / pv,
                1e-13);
    EXPECT_NEAR(values.contributions, 50.0 / std::sqrt(1.1), 1e-12);
    EXPECT_NEAR(values.contributions_duration, 0.5, 1e-15);
    EXPECT_NEAR(values.obligation, 40.0 / std::pow(1.1, 1.5), 1e-12);
    EXPECT_NEAR(values.obligation_duration, 1.5, 1e-14);
    EXPECT_NEAR(values.service_cost, 30.0 / std::pow(1.1, 1.5), 1e-12);
    // contributions are not benefits
    EXPECT_EQ(values.cashflows[TALVEK_CASHFLOWS_CONTRIBUTIONS_FEMALE], 0.0);

    const std::vector<double> none(TALVEK_BENEFIT_CASHFLOWS_SIZE);
    const TalvekPresentValues empty = presentValuesOf(none.data(), none.data(), none.data(), curve);
    EXPECT_EQ(empty.benefits_duration, 0.0); // no value, no duration
}

} // namespace
