// Members in service: disability pensions, deferred pensions, the pensions of
// surviving spouses and transfer values.
#include <gtest/gtest.h>

#include "projection/active_plan_fixture.h"
#include "projection/result_layout.h"

namespace {

// Accrued pensions of a member of the neutral plan with `service` past years
// in year U of service: 1.5 % of the salary of 50000, under the ceiling.
double accruedIndexed(double service) { return kTestSalary * 0.015 * service; }
double accruedNonIndexed(int U) { return kTestSalary * 0.015 * (U - 0.5); }

TEST(ActiveExits, DisablementIsPaidHalfAYearThenIndexedWithTheRateOfTheYear) {
    ActivePlan plan;
    const double rate = 0.1;
    plan.setDisablementRate(40, rate);
    plan.host.yearlyRates[1] = 0.1;
    plan.host.yearlyRates[2] = 0.2;
    plan.value(activeMember(40, 'M', 38, 10, plan));
    const double indexed = accruedIndexed(10);
    const double fixed = accruedNonIndexed(1);
    EXPECT_NEAR(plan.paid(cashflows::kDisabilityPensionMale, 1), 0.5 * rate * (indexed + fixed), 1e-9);
    // year 2 indexes the disabled with the first rate of year 2, not year 1
    EXPECT_NEAR(plan.paid(cashflows::kDisabilityPensionMale, 2),
                0.5 * rate * (indexed + fixed) + 0.5 * rate * (indexed * 1.2 + fixed), 1e-9);
}

TEST(ActiveExits, DeferredPensionIsIndexedWithTheRateOfThePreviousYear) {
    ActivePlan plan;
    plan.setWithdrawalRate(40, 0.1);
    plan.setMortality(true, 41, 41, 0.5);
    plan.host.yearlyRates[1] = 0.1;
    plan.host.yearlyRates[2] = 0.2;
    // band of 10 + 2 years is 3; the age reached in year 2 is 42
    plan.basis->deferredAnnuityTable[2][42 - 15][MaleIndexed] = 11.0;
    plan.basis->deferredAnnuityTable[2][42 - 15][MaleNonIndexed] = 13.0;
    plan.value(activeMember(40, 'M', 38, 10, plan));

    const double deaths = 0.1 * 0.5; // deferred members dying in year 2
    EXPECT_NEAR(plan.events(decrements::kDeferredDeaths, 2), deaths, 1e-15);
    EXPECT_NEAR(plan.paid(cashflows::kLumpSumMale, 2),
                (accruedIndexed(10) * 1.1 * 11.0 + accruedNonIndexed(1) * 13.0) * deaths, 1e-9);
    EXPECT_EQ(plan.paid(cashflows::kLumpSumMale, 1), 0.0); // deferred leavers take no lump sum
}

TEST(ActiveExits, TransferValueIsReadAtTheAgeReachedAndAt49Beyond) {
    struct Case {
        int age;
        char sex;
        int readAge;
    };
    for (const Case c : {Case{40, 'M', 41}, Case{54, 'M', 49}, Case{56, 'f', 49}}) {
        ActivePlan plan;
        plan.host.withdrawalRates[1] = 30; // withdrawals at ages 30..59
        plan.host.withdrawalRates[31] = 60;
        plan.setWithdrawalRate(c.age, 0.1);
        plan.host.demographicParameters[3] = 1.0; // every leaver takes a transfer value
        const bool male = c.sex == 'M';
        const int indexedColumn = male ? MaleIndexed : FemaleIndexed;
        const int fixedColumn = male ? MaleNonIndexed : FemaleNonIndexed;
        for (int age = 15; age <= 60; ++age) { // a trap at every other age
            plan.basis->deferredAnnuityTable[2][age - 15][indexedColumn] = 99.0;
            plan.basis->deferredAnnuityTable[2][age - 15][fixedColumn] = 99.0;
        }
        plan.basis->deferredAnnuityTable[2][c.readAge - 15][indexedColumn] = 7.0;
        plan.basis->deferredAnnuityTable[2][c.readAge - 15][fixedColumn] = 5.0;
        plan.value(activeMember(c.age, c.sex, c.age, 10, plan)); // band of 11 years: 3

        const double leavers = 0.1;
        const int block = male ? cashflows::kLumpSumMale : cashflows::kLumpSumFemale;
        EXPECT_NEAR(plan.paid(block, 1), (accruedIndexed(10) * 7.0 + accruedNonIndexed(1) * 5.0) * leavers,
                    1e-9)
            << c.age;
        EXPECT_EQ(plan.paid(block, 2), 0.0) << c.age; // no withdrawals, nobody deferred
    }
}

} // namespace
