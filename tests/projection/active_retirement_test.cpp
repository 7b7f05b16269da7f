// Members in service: old-age pensions through and after the guarantee
// period, and bridge pensions.
#include <gtest/gtest.h>

#include <cmath>

#include "projection/active_plan_fixture.h"
#include "projection/result_layout.h"

namespace {

// The yearly pension per head of a member of the neutral plan aged 65 with
// `service` years who retires in year 1: salary 50000 under the ceiling, so
// 1.5 % a year on the past service (indexed) and half a year of future
// service (fixed), times the factor of the band of service + 1 years at age 66.
double pensionOfYearOne(double service, int band) {
    const double base = kTestSalary * 0.015;
    return ActivePlan::factor(band, 66 - 55 + 1) * (base * service + base * 0.5);
}

TEST(ActiveRetirement, GuaranteePaysHalfThenFullYearsThenHalfToTheLeavingCohort) {
    ActivePlan plan; // nobody dies before 120, guarantee 5 years
    plan.value(activeMember(65, 'M', 62, 10, plan));
    const double pension = pensionOfYearOne(10, 3);

    EXPECT_NEAR(plan.events(decrements::kServiceRetirements, 1), 1.0, 1e-15);
    EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, 1), 0.5 * pension, 1e-9);
    for (int U = 2; U <= 5; ++U) {
        EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, U), pension, 1e-9) << U;
        EXPECT_EQ(plan.members(members::kServiceRetireesInGuaranteeMale, U), 1.0) << U;
        EXPECT_EQ(plan.members(members::kServiceRetireesMale, U), 0.0) << U;
    }
    // year 6: the last half of the guarantee and half a year of life pension
    EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, 6), 0.5 * pension + 0.5 * pension, 1e-9);
    EXPECT_EQ(plan.members(members::kServiceRetireesInGuaranteeMale, 6), 0.0);
    EXPECT_EQ(plan.members(members::kServiceRetireesMale, 6), 1.0);
    EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, 7), pension, 1e-9);
    EXPECT_EQ(plan.events(decrements::kGuaranteeDeathsService, 6), 0.0);
    // nothing went to the women's blocks
    EXPECT_EQ(plan.paid(cashflows::kServicePensionFemale, 1), 0.0);
}

TEST(ActiveRetirement, DeathsInsideTheGuaranteeSurfaceWhenItEnds) {
    ActivePlan plan;
    const double q = 0.02;
    plan.setMortality(true, 65, 119, q);
    plan.value(activeMember(65, 'M', 62, 10, plan));
    const double pension = pensionOfYearOne(10, 3);
    const double retired = 1 - q / 2;
    const double alive = retired * std::pow(1 - q, 5);

    for (int U = 2; U <= 5; ++U) {
        // paid in full whether they live or not
        EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, U), retired * pension, 1e-9) << U;
        EXPECT_EQ(plan.events(decrements::kGuaranteeDeathsService, U), 0.0) << U;
    }
    EXPECT_NEAR(plan.events(decrements::kGuaranteeDeathsService, 6), retired - alive, 1e-12);
    EXPECT_NEAR(plan.members(members::kServiceRetireesMale, 6), alive, 1e-12);
    EXPECT_NEAR(plan.paid(cashflows::kServicePensionMale, 6),
                0.5 * retired * pension + 0.5 * alive * pension, 1e-9);
    EXPECT_NEAR(plan.events(decrements::kServiceRetireeDeaths, 7), alive * q, 1e-12);
    // the widows of the deaths inside the guarantee start to be paid in year 6
    EXPECT_NEAR(plan.members(members::kServiceSurvivorsFemale, 6), retired - alive, 1e-12);
    EXPECT_NEAR(plan.paid(cashflows::kServiceSpousePensionFemale, 6),
                0.5 * (retired - alive) * 0.6 * pension, 1e-9);
    EXPECT_EQ(plan.paid(cashflows::kServiceSpousePensionFemale, 5), 0.0);
}

TEST(ActiveRetirement, BridgeIsPaidInsideTheWindowOnAtMostTenYears) {
    ActivePlan plan;
    plan.host.planParameters[14] = 64; // paid while 63 < age reached <= 68
    plan.host.planParameters[15] = 67;
    plan.value(activeMember(65, 'F', 68, 20, plan));
    const double bridge = kTestCeiling * 0.001 * 10; // 21 years of service, capped at 10
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionFemale, 1), 0.5 * bridge, 1e-9);
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionFemale, 2), bridge, 1e-9);
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionFemale, 3), bridge, 1e-9);
    for (int U = 4; U <= 10; ++U) EXPECT_EQ(plan.paid(cashflows::kBridgePensionFemale, U), 0.0) << U;
    EXPECT_EQ(plan.paid(cashflows::kBridgePensionMale, 1), 0.0);

    ActivePlan shortService;
    shortService.host.planParameters[14] = 64;
    shortService.host.planParameters[15] = 67;
    shortService.value(activeMember(65, 'M', 60, 3, shortService));
    EXPECT_NEAR(shortService.paid(cashflows::kBridgePensionMale, 1),
                0.5 * kTestCeiling * 0.001 * 4, 1e-9); // 3 + 1 whole years
}

TEST(ActiveRetirement, BridgeAfterTheGuaranteeFollowsTheCohortIntoLifePensions) {
    ActivePlan plan;
    plan.host.planParameters[13] = 2;
    plan.host.planParameters[14] = 60; // window 59 < age reached <= 71
    plan.host.planParameters[15] = 70;
    plan.host.yearlyRates[4] = 0.1;    // year 4's rates index the average bridge of year 4
    plan.value(activeMember(65, 'M', 60, 20, plan));
    const double bridge = kTestCeiling * 0.001 * 10;
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionMale, 2), bridge, 1e-9);
    // year 3: half to the leaving cohort, half a year of the life average
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionMale, 3), bridge, 1e-9);
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionMale, 4), 0.5 * bridge + 0.5 * bridge * 1.1, 1e-9);
    EXPECT_NEAR(plan.paid(cashflows::kBridgePensionMale, 6), bridge * 1.1, 1e-9); // age 71
    EXPECT_EQ(plan.paid(cashflows::kBridgePensionMale, 7), 0.0);                  // age 72
}

TEST(ActiveRetirement, CohortRetiringBeforeTheWindowCarriesNoBridge) {
    ActivePlan plan;
    plan.host.retirementRates[26] = 62; // everyone retires in year 1, at 63
    plan.host.planParameters[14] = 64;  // window opens at 64
    plan.host.planParameters[15] = 67;
    plan.value(activeMember(62, 'M', 60, 20, plan));
    EXPECT_GT(plan.paid(cashflows::kServicePensionMale, 2), 0.0);
    for (int U = 1; U <= 110; ++U) EXPECT_EQ(plan.paid(cashflows::kBridgePensionMale, U), 0.0) << U;
}

} // namespace
