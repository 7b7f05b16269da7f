// Every status through the populations it reaches, on one plan in which every
// path is taken: each member's probability is conserved in every year (alive
// in some population or counted among its dead), a spouse who cannot die is
// a spouse in payment for every pensioner's death, and a portfolio of all
// statuses gives the sum of its members valued one by one. Fixed deferred
// retirement ages at, before and below the first retirement-rate age are
// among the plans.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "projection/active_plan_fixture.h"
#include "projection/result_layout.h"

namespace {

// Deaths at every age, every decrement of service, inflation, a guarantee of
// `guarantee` years, bridges from 60 to 64, and a spouse who never dies
// when `immortalSpouses` (only the member's sex has a mortality then).
void makeEveryPathLikely(ActivePlan &plan, double deferredRetirementAge, double guarantee,
                         bool immortalSpouses) {
    for (int age = 15; age <= 119; ++age) {
        plan.setMortality(true, age, age, std::min(0.9, 0.0005 * std::exp(0.09 * (age - 15))));
        if (!immortalSpouses) plan.setMortality(false, age, age, std::min(0.8, 0.0004 * std::exp(0.085 * (age - 15))));
    }
    for (int age = 20; age < 50; ++age) plan.setWithdrawalRate(age, 0.06);
    for (int age = 20; age < 60; ++age) plan.setDisablementRate(age, 0.004);
    for (int age = 60; age < 65; ++age) plan.setRetirementRate(age, 0.25);
    plan.host.retirementFactors[1] = 40; // factors from age 40, for retirements at a low fixed age
    plan.host.demographicParameters[2] = 4;
    plan.host.demographicParameters[3] = 0.35;
    plan.host.demographicParameters[5] = deferredRetirementAge;
    plan.host.planParameters[13] = guarantee;
    plan.host.planParameters[14] = 60;
    for (int t = 0; t <= 110; ++t) {
        plan.host.yearlyRates[t] = 0.01 + 0.0001 * t;
        plan.host.yearlyRates[111 + t] = 0.005;
    }
}

// Members of every status, men (their spouses are women).
MemberRecord memberOf(int status, int age, const ActivePlan &plan) {
    MemberRecord member = activeMember(age, 'M', age - 3, 12.4, plan);
    member.maritalStatus = 'M';
    member.currentPension = 12000.0;
    member.guaranteedFraction = 0.6;
    member.bridgePension = status == 2 ? 2000.0 : 0.0;
    member.yearsRetired = status == 2 ? 2 : 0;
    member.averageSalary = 40000.0;
    return member;
}

void valueStatus(ActivePlan &plan, int status, const MemberRecord &member) {
    const HostArrays arrays = plan.host.arrays();
    const ValuationContext context = valuationContext(plan.basis.get(), &arrays);
    switch (status) {
    case 1: valueActiveMember(context, member); break;
    case 2: valuePensioner(context, member); break;
    case 3: valueDisabilityPensioner(context, member); break;
    case 4: valueDeferredMember(context, member); break;
    default: valueSurvivingSpouse(context, member); break;
    }
}

// The member's own life: in a population at the end of year U, or dead (or
// paid out by a transfer value) in a year up to U.
double livesAt(const ActivePlan &plan, int U) {
    using namespace members;
    double sum = 0.0;
    for (int block : {kActiveMale, kDisabledMale, kDeferredMale, kServiceRetireesMale, kDeferredRetireesMale,
                      kServiceRetireesInGuaranteeMale, kDeferredRetireesInGuaranteeMale}) {
        sum += plan.members(block, U);
    }
    return sum;
}
double leftBy(const ActivePlan &plan, int U) {
    using namespace decrements;
    double left = 0.0;
    for (int t = 1; t <= U; ++t) {
        for (int block : {kDeathsInService, kDisabledDeaths, kDeferredDeaths, kServiceRetireeDeaths,
                          kDeferredRetireeDeaths, kGuaranteeDeathsService, kGuaranteeDeathsDeferred,
                          kTransferWithdrawals}) {
            left += plan.events(block, t);
        }
    }
    return left;
}

struct PlanCase {
    double deferredRetirementAge; // 0: by the rate table (first rate age 60)
    double guarantee;
};
const PlanCase kPlans[] = {{0, 5}, {63, 5}, {45, 3}, {60, 1}, {58, 10}};

TEST(Populations, EveryMemberIsSomewhereOrDeadInEveryYear) {
    for (const PlanCase &c : kPlans) {
        for (int status = 1; status <= 4; ++status) {
            for (int age : {30, 44, 58, 63, 66, 80}) {
                ActivePlan plan;
                makeEveryPathLikely(plan, c.deferredRetirementAge, c.guarantee, false);
                const MemberRecord member = memberOf(status, age, plan);
                valueStatus(plan, status, member);
                for (int U = 1; U < member.projectionYears; ++U) {
                    ASSERT_NEAR(livesAt(plan, U) + leftBy(plan, U), 1.0, 1e-12)
                        << "status " << status << " age " << age << " fixed age " << c.deferredRetirementAge
                        << " year " << U;
                }
                // everyone dies in the end, inside the guarantee or past it
                EXPECT_GT(leftBy(plan, member.projectionYears - 1), 0.999)
                    << "status " << status << " age " << age << " fixed age " << c.deferredRetirementAge;
            }
        }
    }
}

TEST(Populations, SpouseInPaymentIsAliveOrDead) {
    ActivePlan plan;
    makeEveryPathLikely(plan, 0, 5, false);
    const MemberRecord member = memberOf(5, 70, plan);
    valueStatus(plan, 5, member);
    double dead = 0.0;
    for (int U = 1; U < member.projectionYears; ++U) {
        dead += plan.events(decrements::kDisabledSurvivorDeaths, U);
        ASSERT_NEAR(plan.members(members::kServiceSurvivorsMale, U) + dead, 1.0, 1e-12) << U;
    }
}

// With spouses who never die, the spouses in payment are exactly the deaths
// of pensioners so far: of disability pensioners, of old-age pensioners past
// their guarantee, and inside a guarantee that has ended. Deaths in service
// and in deferment leave no spouse pension.
TEST(Populations, AnImmortalSpouseOutlivesEveryPensionerWhoDies) {
    for (const PlanCase &c : kPlans) {
        for (int status = 1; status <= 4; ++status) {
            ActivePlan plan;
            makeEveryPathLikely(plan, c.deferredRetirementAge, c.guarantee, true);
            const MemberRecord member = memberOf(status, 40 + 7 * status, plan);
            valueStatus(plan, status, member);
            double pensionerDeaths = 0.0;
            for (int U = 1; U < member.projectionYears; ++U) {
                using namespace decrements;
                for (int block : {kDisabledDeaths, kServiceRetireeDeaths, kDeferredRetireeDeaths,
                                  kGuaranteeDeathsService, kGuaranteeDeathsDeferred}) {
                    pensionerDeaths += plan.events(block, U);
                }
                const double spouses = plan.members(members::kServiceSurvivorsFemale, U) +
                                       plan.members(members::kDisabledSurvivorsFemale, U) +
                                       plan.members(members::kDeferredSurvivorsFemale, U);
                ASSERT_NEAR(spouses, pensionerDeaths, 1e-12) << "status " << status << " year " << U;
            }
        }
    }
}

// Members of every status valued one after another into the same arrays
// give, element by element, the sum of each valued alone: nothing of one
// member's projection reaches the next.
TEST(Populations, AMixedPortfolioIsTheSumOfItsMembers) {
    std::vector<std::pair<int, int>> portfolio; // status, age
    for (int age : {25, 47, 61, 72})
        for (int status = 1; status <= 5; ++status) portfolio.emplace_back(status, age + status);
    ActivePlan mixed;
    makeEveryPathLikely(mixed, 62, 5, false);
    std::vector<double> counts(mixed.host.memberCounts.size()), events(mixed.host.decrementCounts.size()),
        paid(mixed.host.benefitCashflows.size());
    for (const auto &[status, age] : portfolio) {
        valueStatus(mixed, status, memberOf(status, age, mixed));
        ActivePlan alone;
        makeEveryPathLikely(alone, 62, 5, false);
        valueStatus(alone, status, memberOf(status, age, alone));
        for (size_t i = 0; i < counts.size(); ++i) counts[i] += alone.host.memberCounts[i];
        for (size_t i = 0; i < events.size(); ++i) events[i] += alone.host.decrementCounts[i];
        for (size_t i = 0; i < paid.size(); ++i) paid[i] += alone.host.benefitCashflows[i];
    }
    // the same additions in the same order: the same bytes
    EXPECT_EQ(mixed.host.memberCounts, counts);
    EXPECT_EQ(mixed.host.decrementCounts, events);
    EXPECT_EQ(mixed.host.benefitCashflows, paid);
    double total = 0.0;
    for (double v : paid) total += v;
    EXPECT_GT(total, 0.0);
}

} // namespace
