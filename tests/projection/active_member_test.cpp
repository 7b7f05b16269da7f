// Members in service: the decrements of service, the counts of every
// population they lead to, and the conservation of the one member.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "projection/active_plan_fixture.h"
#include "projection/result_layout.h"

namespace {

// A plan in which every path of service is taken: deaths at every age,
// withdrawals, disablements, retirement rates, transfers, a loaded disabled
// age, inflation and a guarantee period.
void makeEveryPathLikely(ActivePlan &plan, double deferredRetirementAge) {
    for (int age = 15; age <= 119; ++age) {
        plan.setMortality(true, age, age, std::min(0.9, 0.0005 * std::exp(0.09 * (age - 15))));
        plan.setMortality(false, age, age, std::min(0.8, 0.0004 * std::exp(0.085 * (age - 15))));
    }
    for (int age = 20; age < 50; ++age) plan.setWithdrawalRate(age, 0.06);
    for (int age = 20; age < 60; ++age) plan.setDisablementRate(age, 0.004);
    for (int age = 60; age < 65; ++age) plan.setRetirementRate(age, 0.25);
    plan.host.demographicParameters[1] = 1.3;
    plan.host.demographicParameters[2] = 4;
    plan.host.demographicParameters[3] = 0.35;
    plan.host.demographicParameters[5] = deferredRetirementAge;
    for (int t = 0; t <= 110; ++t) {
        plan.host.yearlyRates[t] = 0.01 + 0.0001 * t;
        plan.host.yearlyRates[111 + t] = 0.005;
    }
}

// Everyone the member can be, alive or counted among the dead (spouses and
// lump sums aside), in year U, added up from the result arrays.
double stocksAt(const ActivePlan &plan, int U) {
    using namespace members;
    const int blocks[] = {kActiveMale, kDisabledMale, kDeferredMale, kServiceRetireesMale,
                          kDeferredRetireesMale, kServiceRetireesInGuaranteeMale,
                          kDeferredRetireesInGuaranteeMale};
    double sum = 0.0;
    for (int block : blocks) sum += plan.members(block, U) + plan.members(block + kBlockSlots, U);
    return sum;
}

double leaversIn(const ActivePlan &plan, int U) {
    using namespace decrements;
    return plan.events(kDeathsInService, U) + plan.events(kDisabledDeaths, U) +
           plan.events(kDeferredDeaths, U) + plan.events(kServiceRetireeDeaths, U) +
           plan.events(kDeferredRetireeDeaths, U) + plan.events(kGuaranteeDeathsService, U) +
           plan.events(kGuaranteeDeathsDeferred, U) + plan.events(kTransferWithdrawals, U);
}

TEST(ActiveMember, UnknownSexAddsNothing) {
    ActivePlan plan;
    makeEveryPathLikely(plan, 0);
    plan.value(activeMember(40, 'U', 38, 10, plan));
    for (double v : plan.host.memberCounts) EXPECT_EQ(v, 0.0);
    for (double v : plan.host.decrementCounts) EXPECT_EQ(v, 0.0);
    for (double v : plan.host.benefitCashflows) EXPECT_EQ(v, 0.0);
}

TEST(ActiveMember, StartsOneMemberInTheBlockOfItsSex) {
    ActivePlan plan;
    plan.value(activeMember(40, 'm', 38, 10, plan));
    plan.value(activeMember(40, 'F', 42, 10, plan));
    plan.value(activeMember(40, 'f', 42, 10, plan));
    EXPECT_EQ(plan.members(members::kActiveMale, 0), 1.0);
    EXPECT_EQ(plan.members(members::kActiveFemale, 0), 2.0);
}

TEST(ActiveMember, FiveDecrementsByTheHalfYearRule) {
    ActivePlan plan;
    const double q = 0.01, w = 0.05, i = 0.002, m = 1.5, t = 0.3;
    plan.setMortality(true, 40, 40, q);
    plan.setWithdrawalRate(40, w);
    plan.setDisablementRate(40, i);
    plan.host.demographicParameters[1] = m;
    plan.host.demographicParameters[3] = t;
    plan.value(activeMember(40, 'M', 38, 10, plan));

    const double deaths = q * (1 - w / 2) * (1 - i * m / 2);
    const double disablements = i * m * (1 - q / 2) * (1 - w / 2);
    const double withdrawals = w * (1 - q / 2) * (1 - i * m / 2);
    EXPECT_NEAR(plan.events(decrements::kDeathsInService, 1), deaths, 1e-15);
    EXPECT_NEAR(plan.events(decrements::kDisablements, 1), disablements, 1e-15);
    EXPECT_EQ(plan.events(decrements::kServiceRetirements, 1), 0.0);
    EXPECT_NEAR(plan.events(decrements::kDeferredWithdrawals, 1), withdrawals * (1 - t), 1e-15);
    EXPECT_NEAR(plan.events(decrements::kTransferWithdrawals, 1), withdrawals * t, 1e-15);
    EXPECT_NEAR(plan.members(members::kActiveMale, 1), 1 - deaths - disablements - withdrawals,
                1e-15);
    EXPECT_NEAR(plan.members(members::kDisabledMale, 1), disablements, 1e-15);
    EXPECT_NEAR(plan.members(members::kDeferredMale, 1), withdrawals * (1 - t), 1e-15);
}

TEST(ActiveMember, AtTheLastRetirementAgeEveryoneLeavesInYearOne) {
    const double q = 0.02;
    for (int age : {65, 70}) {
        ActivePlan plan;
        plan.setMortality(false, 15, 119, q);
        plan.setWithdrawalRate(49, 0.1); // both tables end before the last retirement age
        plan.setDisablementRate(59, 0.1);
        plan.value(activeMember(age, 'F', age + 3, 10, plan));
        EXPECT_NEAR(plan.events(decrements::kDeathsInService, 1), q / 2, 1e-15) << age;
        EXPECT_NEAR(plan.events(decrements::kServiceRetirements, 1), 1 - q / 2, 1e-15) << age;
        EXPECT_EQ(plan.events(decrements::kDisablements, 1), 0.0) << age;
        EXPECT_EQ(plan.events(decrements::kDeferredWithdrawals, 1), 0.0) << age;
        EXPECT_NEAR(plan.members(members::kActiveFemale, 1), 0.0, 1e-15) << age;
        EXPECT_NEAR(plan.members(members::kServiceRetireesInGuaranteeFemale, 1), 1 - q / 2, 1e-15);
        EXPECT_NEAR(plan.events(decrements::kServiceRetirements, 2), 0.0, 1e-15) << age;
    }
}

TEST(ActiveMember, OneMemberIsConservedInEveryYear) {
    struct Case {
        int age;
        char sex;
        int spouseAge;
        double deferredRetirementAge;
        double guaranteePeriod;
    };
    const Case cases[] = {{30, 'M', 28, 0, 5},  {45, 'f', 50, 0, 3},  {25, 'm', 20, 63, 10},
                          {58, 'F', 61, 62, 1}, {35, 'M', 35, 0, 19}, {40, 'F', 37, 0, 0},
                          {30, 'M', 27, 45, 5}, {52, 'f', 50, 45, 4}, {20, 'F', 24, 55, 8}};
    for (const Case &c : cases) {
        ActivePlan plan;
        makeEveryPathLikely(plan, c.deferredRetirementAge);
        plan.host.planParameters[13] = c.guaranteePeriod;
        const MemberRecord member = activeMember(c.age, c.sex, c.spouseAge, 12.4, plan);
        plan.value(member);

        double left = 0.0;
        for (int U = 1; U < member.projectionYears; ++U) {
            left += leaversIn(plan, U);
            EXPECT_NEAR(stocksAt(plan, U) + left, 1.0, 1e-12)
                << "age " << c.age << " sex " << c.sex << " year " << U;
        }
        // By the end of the projection nearly everyone has died. Not so
        // without a guarantee period: each cohort leaves the ring after its
        // first year and stays counted inside the guarantee.
        if (c.guaranteePeriod >= 1) {
            EXPECT_GT(left, 0.99) << c.age;
        }
    }
}

TEST(ActiveMember, TransferCountIsACountOfTheYearOnly) {
    ActivePlan plan;
    plan.setWithdrawalRate(40, 0.1);
    plan.host.demographicParameters[3] = 1.0; // every leaver takes a transfer value
    plan.value(activeMember(40, 'M', 38, 10, plan));
    EXPECT_NEAR(plan.members(members::kLumpSumsMale, 1), 0.1, 1e-15);
    EXPECT_EQ(plan.members(members::kLumpSumsMale, 1), plan.events(decrements::kTransferWithdrawals, 1));
    // no withdrawals and nobody deferred in year 2
    EXPECT_EQ(plan.members(members::kLumpSumsMale, 2), 0.0);
    EXPECT_EQ(plan.members(members::kDeferredMale, 2), 0.0);
}

TEST(ActiveMember, FixedDeferredRetirementAgeEmptiesDeferment) {
    ActivePlan plan;
    const double q = 0.01;
    plan.setMortality(true, 15, 119, q);
    plan.setWithdrawalRate(45, 0.1);
    plan.host.demographicParameters[5] = 63;
    plan.value(activeMember(45, 'M', 40, 10, plan));

    const int U = 63 - 45; // age + U = 63
    const double before = plan.members(members::kDeferredMale, U - 1);
    EXPECT_GT(before, 0.0);
    EXPECT_EQ(plan.events(decrements::kDeferredRetirements, U - 1), 0.0);
    EXPECT_NEAR(plan.events(decrements::kDeferredDeaths, U), before * q / 2, 1e-15);
    EXPECT_NEAR(plan.events(decrements::kDeferredRetirements, U), before * (1 - q / 2), 1e-15);
    EXPECT_NEAR(plan.members(members::kDeferredMale, U), 0.0, 1e-15);
    EXPECT_NEAR(plan.members(members::kDeferredRetireesInGuaranteeMale, U), before * (1 - q / 2),
                1e-15);
    EXPECT_EQ(plan.events(decrements::kDeferredRetirements, U + 1), 0.0);
}

// Members who leave service at or after a fixed deferred retirement age are
// deferred at the end of the year they leave and retire the year after, into
// a cohort that is paid, even below the first age of the retirement rates.
TEST(ActiveMember, LeaversAtOrPastAFixedDeferredRetirementAgeRetireTheYearAfter) {
    for (int leavingAge : {45, 46, 48}) { // the age at the start of the year of leaving
        ActivePlan plan;
        const double q = 0.01;
        plan.setMortality(true, 15, 119, q);
        plan.setWithdrawalRate(leavingAge, 0.1);
        plan.host.demographicParameters[5] = 45;
        plan.host.retirementFactors[1] = 40; // factors from age 40 on
        plan.value(activeMember(40, 'M', 38, 10, plan));

        const int U = leavingAge - 40 + 1; // the year of leaving
        const double leavers = plan.events(decrements::kDeferredWithdrawals, U);
        EXPECT_GT(leavers, 0.0) << leavingAge;
        EXPECT_NEAR(plan.members(members::kDeferredMale, U), leavers, 1e-15) << leavingAge;
        EXPECT_EQ(plan.events(decrements::kDeferredRetirements, U), 0.0) << leavingAge;
        EXPECT_NEAR(plan.events(decrements::kDeferredDeaths, U + 1), leavers * q / 2, 1e-15);
        const double retired = leavers * (1 - q / 2);
        EXPECT_NEAR(plan.events(decrements::kDeferredRetirements, U + 1), retired, 1e-15);
        EXPECT_NEAR(plan.members(members::kDeferredMale, U + 1), 0.0, 1e-15) << leavingAge;
        EXPECT_NEAR(plan.members(members::kDeferredRetireesInGuaranteeMale, U + 1), retired, 1e-15);
        // the cohort's pension: the leavers' accrued pensions (50000 at 1.5 %
        // on 10 years with the guarantee and U - 0.5 without), times the factor
        // of the band of 10 + U + 1 years and the age reached
        const int band = (10 + U + 1) / 5 + 1;
        const double pension = ActivePlan::factor(band, 40 + U + 1 - 40 + 1) * 750.0 * (10 + U - 0.5);
        EXPECT_NEAR(plan.paid(cashflows::kDeferredPensionMale, U + 1), 0.5 * retired * pension, 1e-9)
            << leavingAge;
        EXPECT_NEAR(plan.paid(cashflows::kDeferredPensionMale, U + 2), retired * pension, 1e-9);
        // the guarantee of 5 years ends and the survivors live on as pensioners
        EXPECT_NEAR(plan.members(members::kDeferredRetireesInGuaranteeMale, U + 6), 0.0, 1e-15);
        EXPECT_GT(plan.members(members::kDeferredRetireesMale, U + 6), 0.9 * retired);
    }
}

// Leavers before the fixed age stay deferred until the year that reaches it.
TEST(ActiveMember, LeaversBeforeAFixedDeferredRetirementAgeWaitForIt) {
    ActivePlan plan;
    plan.setMortality(true, 15, 119, 0.01);
    plan.setWithdrawalRate(42, 0.1);
    plan.host.demographicParameters[5] = 45;
    plan.host.retirementFactors[1] = 40;
    plan.value(activeMember(40, 'M', 38, 10, plan));
    // leaving in year 3 (age 42 at its start); age 45 is reached in year 5
    EXPECT_EQ(plan.events(decrements::kDeferredRetirements, 4), 0.0);
    EXPECT_GT(plan.members(members::kDeferredMale, 4), 0.0);
    EXPECT_GT(plan.events(decrements::kDeferredRetirements, 5), 0.0);
    EXPECT_GT(plan.paid(cashflows::kDeferredPensionMale, 5), 0.0);
    EXPECT_NEAR(plan.members(members::kDeferredMale, 5), 0.0, 1e-15);
}

TEST(ActiveMember, SurvivorsAreCountedBySexOfTheSpouse) {
    ActivePlan plan;
    plan.setMortality(true, 15, 119, 0.05);
    plan.setDisablementRate(40, 0.2);
    plan.value(activeMember(40, 'M', 38, 10, plan));
    double widows = 0.0, widowers = 0.0;
    for (int U = 1; U <= 110; ++U) {
        widows += plan.members(members::kDisabledSurvivorsFemale, U) +
                  plan.members(members::kServiceSurvivorsFemale, U);
        widowers += plan.members(members::kDisabledSurvivorsMale, U) +
                    plan.members(members::kServiceSurvivorsMale, U);
    }
    EXPECT_GT(widows, 0.0);
    EXPECT_EQ(widowers, 0.0);
    // a disabled death of weight d in year 1 leaves d widows (the spouse's
    // table is empty, so she is alive)
    EXPECT_NEAR(plan.members(members::kDisabledSurvivorsFemale, 1),
                plan.events(decrements::kDisabledDeaths, 1), 1e-15);
}

TEST(ActiveMember, NothingIsAddedPastTheLastProjectionYear) {
    ActivePlan plan; // nobody dies before 120
    MemberRecord member = activeMember(75, 'F', 71, 10, plan); // 121 - 71 = 50
    ASSERT_EQ(member.projectionYears, 50);
    plan.value(member);
    // she dies at 120, in year 46; her widower is alive in the last year
    EXPECT_EQ(plan.members(members::kServiceRetireesFemale, 46), 0.0);
    EXPECT_GT(plan.members(members::kServiceSurvivorsMale, 49), 0.0);
    for (int block = 0; block < members::kSize; block += kBlockSlots)
        for (int U = 50; U <= 110; ++U) EXPECT_EQ(plan.members(block, U), 0.0);
    for (int block = 0; block < decrements::kSize; block += kBlockSlots)
        for (int U = 50; U <= 110; ++U) EXPECT_EQ(plan.events(block, U), 0.0);

    // a record that asks for more years than the blocks hold stops at 110
    ActivePlan longer;
    makeEveryPathLikely(longer, 0);
    member = activeMember(30, 'M', 5, 10, longer);
    member.projectionYears = 116;
    longer.value(member);
    EXPECT_GT(longer.members(members::kActiveMale, 30), 0.0);
    EXPECT_EQ(longer.host.memberCounts[members::kActiveFemale], 0.0); // slot 111 of block 1 does not exist
}

TEST(ActiveMember, HostileNumbersStayInsideEveryTable) {
    // Bounds, ages and counts far outside any plan: every read and write must
    // stay inside its table (the sanitizer build checks), and the member is
    // still conserved where the numbers allow it.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const int32_t most = std::numeric_limits<int32_t>::max();
    const int32_t least = std::numeric_limits<int32_t>::min();
    for (double bound : {nan, 1e300, -1e300, 1e9}) {
        ActivePlan plan;
        makeEveryPathLikely(plan, bound);
        plan.host.planParameters[5] = bound;  // averaging years
        plan.host.planParameters[13] = bound; // guarantee period
        plan.host.planParameters[14] = bound;
        plan.host.demographicParameters[2] = bound; // disabled age addition
        plan.host.retirementFactors[1] = bound;
        plan.host.retirementFactors[21] = -bound;
        MemberRecord member = activeMember(40, 'M', 38, 10, plan);
        member.cappedServiceYears = most;
        member.wholeServiceYears = most;
        member.yearsToLastRetirementAge = most;
        member.spouseAge = least;
        member.projectionYears = most;
        plan.value(member);
        member.cappedServiceYears = least;
        member.wholeServiceYears = least;
        member.yearsToLastRetirementAge = least;
        member.age = most;
        plan.value(member);
        EXPECT_EQ(plan.members(members::kActiveMale, 0), 2.0);
    }
}

} // namespace
