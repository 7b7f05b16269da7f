// Members in service: salary history, final average salary and ceiling,
// accrued pensions, contributions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "projection/active_plan_fixture.h"
#include "projection/population_steps.h"
#include "projection/result_layout.h"

namespace {

// The run's own tables, and no block of scenarios.
ProjectionInputs inputsOf(const Basis &basis, const HostArrays &host, const PlanTerms &terms) {
    return ProjectionInputs{&basis, &host, &terms, Results{}, nullptr};
}

// A state whose salary vectors and a basis whose ceilings hold distinct
// values, so that every slot read shows in the averages.
struct AverageCase {
    ActivePlan plan;
    SalaryHistory<double> stateHistory{};
    InService<double> state{};
    PlanTerms terms{};
    MemberRecord member{};

    AverageCase(double averagingYears, int cappedServiceYears) {
        state.salary = &stateHistory;
        for (int j = 0; j < kProjectedSalarySlots; ++j) {
            state.salary->projectedSalary[j] = 1000.0 + 37.0 * j;
            plan.basis->salaryCeiling[j] = 5000.0 + 11.0 * j;
        }
        for (int k = 0; k < kPastSalarySlots; ++k) {
            state.salary->pastSalary[k] = 900.0 - 7.0 * k;
            plan.basis->pastSalaryCeiling[k] = 4000.0 - 3.0 * k;
        }
        terms.averagingYears = averagingYears;
        shareSalaryHistory(*state.salary, averagingYears);
        member.age = 40;
        member.cappedServiceYears = cappedServiceYears;
    }

    void exitIn(int U) {
        YearRates<double> year{};
        year.year = U;
        year.ageReached = member.age + U;
        const HostArrays arrays = plan.host.arrays();
        computeExitAmounts(state, terms, inputsOf(*plan.basis, arrays, terms), member, year);
    }
    double salary(int j) const { return state.salary->projectedSalary[j]; }
    double past(int k) const { return state.salary->pastSalary[k]; }
    double ceiling(int j) const { return plan.basis->salaryCeiling[j]; }
    double pastCeiling(int k) const { return plan.basis->pastSalaryCeiling[k]; }
};

TEST(InServiceSalary, FinalAverageOverTheLastYearsBeforeTheExitYear) {
    AverageCase c(5, 5);
    c.exitIn(7);
    const double salaries = c.salary(6) + c.salary(5) + c.salary(4) + c.salary(3) + c.salary(2);
    const double ceilings = c.ceiling(6) + c.ceiling(5) + c.ceiling(4) + c.ceiling(3) + c.ceiling(2);
    EXPECT_NEAR(c.state.finalAverageSalary, salaries / 5, 1e-9);
    EXPECT_NEAR(c.state.averageCeiling, ceilings / 5, 1e-9);
}

TEST(InServiceSalary, FinalAverageReachesBackBeforeTheValuationDate) {
    AverageCase c(5, 5);
    c.exitIn(2);
    const double salaries = c.salary(1) + c.salary(0) + c.past(1) + c.past(2) + c.past(3);
    const double ceilings = c.ceiling(1) + c.ceiling(0) + c.pastCeiling(1) + c.pastCeiling(2) +
                            c.pastCeiling(3);
    EXPECT_NEAR(c.state.finalAverageSalary, salaries / 5, 1e-9);
    EXPECT_NEAR(c.state.averageCeiling, ceilings / 5, 1e-9);
}

TEST(InServiceSalary, ShortServiceAveragesOverTheYearsItHas) {
    AverageCase c(5, 2);
    c.exitIn(1);
    EXPECT_NEAR(c.state.finalAverageSalary, (c.salary(0) + c.past(1) + c.past(2)) / 3, 1e-9);
    EXPECT_NEAR(c.state.averageCeiling, (c.ceiling(0) + c.pastCeiling(1) + c.pastCeiling(2)) / 3,
                1e-9);
}

TEST(InServiceSalary, PastSalariesAreReadNoFurtherThanTheirLastSlot) {
    // An averaging period beyond the 60 past slots reads slots 1..59 only.
    AverageCase c(1000, 1000);
    c.exitIn(1);
    double salaries = c.salary(0);
    for (int k = 1; k <= 59; ++k) salaries += c.past(k);
    EXPECT_NEAR(c.state.finalAverageSalary, salaries / 1000, 1e-9);

    // A bound that is not a number ends the loops at once: the short-service
    // rule then averages over U + c years.
    AverageCase nan(std::numeric_limits<double>::quiet_NaN(), 2);
    nan.exitIn(1);
    EXPECT_NEAR(nan.state.finalAverageSalary, (nan.salary(0) + nan.past(1) + nan.past(2)) / 3, 1e-9);
}

TEST(InServiceSalary, HalfAYearOfFutureServiceAccruesInYearOne) {
    ActivePlan plan;
    plan.host.planParameters[5] = 5;
    SalaryHistory<double> stateHistory{};
    InService<double> state{};
    state.salary = &stateHistory;
    MemberRecord member = activeMember(40, 'M', 38, 0, plan); // no past service at all
    member.cappedServiceYears = 5;
    const HostArrays arrays = plan.host.arrays();
    PlanTerms terms = readPlanTerms(arrays);
    projectSalaryHistory(*state.salary, terms, arrays, nullptr, member);
    terms.averagingYears = 5;
    terms.lowerAccrualRate = 0.015;
    terms.upperAccrualRate = 0.02;
    YearRates<double> year{};
    year.year = 1;
    year.ageReached = 41;
    computeExitAmounts(state, terms, inputsOf(*plan.basis, arrays, terms), member, year);
    EXPECT_DOUBLE_EQ(state.finalAverageSalary, kTestSalary);
    EXPECT_EQ(state.accruedIndexedPension, 0.0);
    EXPECT_NEAR(state.accruedNonIndexedPension, kTestSalary * 0.015 * 0.5, 1e-9);

    year.year = 3;
    computeExitAmounts(state, terms, inputsOf(*plan.basis, arrays, terms), member, year);
    EXPECT_NEAR(state.accruedNonIndexedPension, kTestSalary * 0.015 * 2.5, 1e-9);
}

TEST(InServiceSalary, AccrualSplitsAtTheAverageCeiling) {
    ActivePlan plan;
    SalaryHistory<double> stateHistory{};
    InService<double> state{};
    state.salary = &stateHistory;
    MemberRecord member = activeMember(40, 'F', 42, 8, plan);
    member.annualSalary = 130000.0; // above the flat ceiling of 100000
    member.serviceWithoutGuarantee = 2 * kTestWeeksPerYear;
    const HostArrays arrays = plan.host.arrays();
    PlanTerms terms = readPlanTerms(arrays);
    projectSalaryHistory(*state.salary, terms, arrays, nullptr, member);
    terms.averagingYears = 5;
    terms.lowerAccrualRate = 0.015;
    terms.upperAccrualRate = 0.02;
    state.wholeServiceYears = member.wholeServiceYears;
    YearRates<double> year{};
    year.year = 1;
    year.ageReached = 41;
    computeExitAmounts(state, terms, inputsOf(*plan.basis, arrays, terms), member, year);
    const double base = kTestCeiling * 0.015 + 30000.0 * 0.02;
    EXPECT_NEAR(state.accruedIndexedPension, base * 8, 1e-9);
    EXPECT_NEAR(state.accruedNonIndexedPension, base * 2.5, 1e-9);
    // service band of 8 + 1 years (keys 0, 5, 10, ...) and the factor of age 41,
    // below the first retirement age 55: no column, no factor
    EXPECT_EQ(state.serviceBand, 2);
    EXPECT_EQ(state.retirementFactor, 0.0);

    // at 80 the factor of the last retirement age (70, column 16) is read
    year.year = 40;
    year.ageReached = 80;
    computeExitAmounts(state, terms, inputsOf(*plan.basis, arrays, terms), member, year);
    EXPECT_EQ(state.serviceBand, 10);
    EXPECT_EQ(state.retirementFactor, ActivePlan::factor(10, 16));
}

TEST(InServiceSalary, SalaryHistoryDeflatesBackAndGrowsForward) {
    ActivePlan plan;
    plan.host.economicParameters[3] = 0.02;
    // scale ages 20..65: element 48 below, 93 above, 0.01 for each age in between
    for (int element = 48; element <= 93; ++element) plan.host.salaryScale[element] = 0.01;
    plan.host.salaryScale[48] = 0.07;
    plan.host.salaryScale[93] = 0.05;
    plan.host.yearlyRates[1] = 0.03;
    plan.host.yearlyRates[112] = 0.01;
    SalaryHistory<double> stateHistory{};
    InService<double> state{};
    state.salary = &stateHistory;
    MemberRecord member = activeMember(21, 'M', 20, 3, plan);
    member.yearsToLastRetirementAge = 2;
    const HostArrays arrays = plan.host.arrays();
    PlanTerms terms = readPlanTerms(arrays);
    projectSalaryHistory(*state.salary, terms, arrays, nullptr, member);

    EXPECT_EQ(state.salary->pastSalary[0], kTestSalary);
    EXPECT_NEAR(state.salary->pastSalary[1], kTestSalary / 1.02 / 1.07, 1e-9); // age 20: first age value
    EXPECT_NEAR(state.salary->pastSalary[2], state.salary->pastSalary[1] / 1.02 / 1.07, 1e-9); // age 19: below it
    EXPECT_EQ(state.salary->pastSalary[4], 0.0); // only capped service years are computed
    EXPECT_NEAR(state.salary->projectedSalary[1], 1.03 * kTestSalary * 1.01 * 1.01, 1e-9);
    EXPECT_NEAR(state.salary->projectedSalary[2], state.salary->projectedSalary[1] * 1.01, 1e-9);
    EXPECT_EQ(state.salary->projectedSalary[3], 0.0); // beyond the last retirement age

    // a member past the last retirement age still projects year 1; the
    // scale above its last age reads element 93
    SalaryHistory<double> lateHistory{};
    InService<double> late{};
    late.salary = &lateHistory;
    member.age = 70;
    member.yearsToLastRetirementAge = -4;
    projectSalaryHistory(*late.salary, terms, arrays, nullptr, member);
    EXPECT_NEAR(late.salary->projectedSalary[1], 1.03 * kTestSalary * 1.01 * 1.05, 1e-9);
    EXPECT_EQ(late.salary->projectedSalary[2], 0.0);

    // a projection longer than the vector stops at its last slot
    SalaryHistory<double> longerHistory{};
    InService<double> longer{};
    longer.salary = &longerHistory;
    member.age = 10;
    member.yearsToLastRetirementAge = 1000;
    member.cappedServiceYears = 1000;
    projectSalaryHistory(*longer.salary, terms, arrays, nullptr, member);
    EXPECT_GT(longer.salary->projectedSalary[110], 0.0);
    EXPECT_GT(longer.salary->pastSalary[59], 0.0);
}

TEST(InServiceSalary, ContributionsSplitAtTheCeilingOnMidYearMembers) {
    ActivePlan plan;
    SalaryHistory<double> stateHistory{};
    InService<double> state{};
    state.salary = &stateHistory;
    PlanTerms terms{};
    terms.cappedContributionRate = 0.05 + 0.03;
    terms.excessContributionRate = 0.08 + 0.04;
    state.salary->projectedSalary[3] = 120000.0;
    state.count = 0.8;
    const HostArrays arrays = plan.host.arrays();
    const Results results{arrays.memberCounts, arrays.decrementCounts, arrays.benefitCashflows};
    YearRates<double> year{};
    year.year = 3;
    addContributions(state, terms, inputsOf(*plan.basis, arrays, terms), year, 0.9, false, results);
    const double members = (0.9 + 0.8) / 2;
    EXPECT_NEAR(plan.paid(cashflows::kContributionsFemale, 3),
                members * kTestCeiling * 0.08 + members * 20000.0 * 0.12, 1e-9);
    EXPECT_EQ(plan.paid(cashflows::kContributionsMale, 3), 0.0);

    // below the ceiling only the lower rates apply
    state.salary->projectedSalary[4] = 60000.0;
    year.year = 4;
    addContributions(state, terms, inputsOf(*plan.basis, arrays, terms), year, 1.0, false, results);
    EXPECT_NEAR(plan.paid(cashflows::kContributionsFemale, 4), 0.9 * 60000.0 * 0.08, 1e-9);
}

} // namespace
