// Deferred members: deferment, retirement into a guarantee cohort, life as a
// pensioner, surviving spouses, and a transfer value on death in deferment.
#include <cmath>

#include <gtest/gtest.h>

#include "projection/member_valuation_fixture.h"

namespace {

constexpr double kWeeksPerYear = 365.25 / 7.0;

// A man of 64 with ten years of service whose whole salary lies above a zero
// ceiling: an accrued pension of 100, fully indexed, and a table that
// retires him at once.
struct DeferredCase : MemberValuation {
    DeferredCase() {
        member.age = 64;
        member.spouseAge = 61;
        member.averageSalary = 1000.0;
        member.serviceWithGuarantee = 10.0 * kWeeksPerYear;
        member.serviceYears = 10.0;
        member.wholeServiceYears = 10;
        member.cappedServiceYears = 1;
        host.planParameters[5] = 1.0;   // averagingYears
        host.planParameters[7] = 0.01;  // upperAccrualRate
        host.planParameters[12] = 0.6;  // spouseFraction
        host.planParameters[13] = 5.0;  // guaranteePeriod
        host.retirementRates[1] = 60.0; // F
        host.retirementRates[26] = 64.0; // L: rate 1 from 64 on
        for (int age = 60; age < 64; ++age) host.retirementRates[28 + age - 60] = 0.2;
        host.retirementFactors[1] = 60.0;
        host.retirementFactors[21] = 70.0;
        for (int column = 1; column <= 21; ++column) host.retirementFactors[22 + column] = 1.0;
        setMortality(basis->maleMortality, 20, 119, 0.1);
    }
    void run() { valueDeferredMember(context(), member); }
    // the male indexed transfer value per unit of pension at an age reached
    void setTransferFactor(int age, double value) {
        basis->deferredAnnuityTable[0][age - kAnnuityFirstAge][MaleIndexed] = value;
    }
};

struct DeferredMember : ::testing::Test, DeferredCase {};

TEST_F(DeferredMember, RetiresIntoAFiveYearGuaranteeThenLivesOn) {
    setTransferFactor(49, 12.0);
    run();
    EXPECT_EQ(counted(members::kDeferredMale, 0), 1.0);
    // year 1: everyone leaves deferment, half the deaths before retiring
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, 1), 0.05);
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredRetirements, 1), 0.95);
    EXPECT_EQ(counted(members::kDeferredMale, 1), 0.0);
    EXPECT_DOUBLE_EQ(counted(members::kLumpSumsMale, 1), 0.05);
    EXPECT_DOUBLE_EQ(paid(cashflows::kLumpSumMale, 1), 100.0 * 12.0 * 0.05);
    EXPECT_DOUBLE_EQ(counted(members::kDeferredRetireesInGuaranteeMale, 1), 0.95);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 1), 0.5 * 100.0 * 0.95);
    // years 2 to 5: full years to the whole cohort, dead or alive
    for (int u = 2; u <= 5; ++u) {
        EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, u), 100.0 * 0.95) << "year " << u;
        EXPECT_DOUBLE_EQ(counted(members::kDeferredRetireesInGuaranteeMale, u), 0.95);
        EXPECT_EQ(counted(members::kDeferredRetireesMale, u), 0.0);
        EXPECT_EQ(events(decrements::kGuaranteeDeathsDeferred, u), 0.0);
    }
    // year 6: the last half guaranteed year, and the survivors' life pensions
    const double alive = 0.95 * std::pow(0.9, 5);
    const double widows = 0.95 - alive; // the wife never dies here
    EXPECT_EQ(counted(members::kDeferredRetireesInGuaranteeMale, 6), 0.0);
    EXPECT_NEAR(counted(members::kDeferredRetireesMale, 6), alive, 1e-15);
    EXPECT_NEAR(events(decrements::kGuaranteeDeathsDeferred, 6), widows, 1e-15);
    EXPECT_NEAR(paid(cashflows::kDeferredPensionMale, 6), 0.5 * 100.0 * 0.95 + alive * 0.5 * 100.0, 1e-12);
    EXPECT_NEAR(counted(members::kDeferredSurvivorsFemale, 6), widows, 1e-15);
    EXPECT_NEAR(paid(cashflows::kDeferredSpousePensionFemale, 6), widows * 0.5 * 60.0, 1e-12);
    // year 7: life pensions by the trapezoid rule, new widows from the deaths
    EXPECT_NEAR(events(decrements::kDeferredRetireeDeaths, 7), alive * 0.1, 1e-15);
    EXPECT_NEAR(paid(cashflows::kDeferredPensionMale, 7), alive * 0.5 * 100.0 + alive * 0.9 * 0.5 * 100.0, 1e-12);
    const double widows7 = widows + alive * 0.1;
    EXPECT_NEAR(counted(members::kDeferredSurvivorsFemale, 7), widows7, 1e-15);
    EXPECT_NEAR(paid(cashflows::kDeferredSpousePensionFemale, 7), widows * 30.0 + widows7 * 30.0, 1e-12);
    EXPECT_EQ(sumOutside(host, {{0, members::kDeferredMale}, {0, members::kDeferredRetireesMale},
                                {0, members::kDeferredRetireesInGuaranteeMale},
                                {0, members::kDeferredSurvivorsFemale}, {0, members::kLumpSumsMale},
                                {1, decrements::kDeferredDeaths}, {1, decrements::kDeferredRetirements},
                                {1, decrements::kDeferredRetireeDeaths}, {1, decrements::kGuaranteeDeathsDeferred},
                                {1, decrements::kDeferredSurvivorDeaths}, {2, cashflows::kDeferredPensionMale},
                                {2, cashflows::kDeferredSpousePensionFemale}, {2, cashflows::kLumpSumMale}}),
              0.0);
}

TEST_F(DeferredMember, CohortsIndexWithLastYearsRateAndDefermentWithThisYears) {
    host.planParameters[9] = 1.0; // indexationShare
    host.yearlyRates[0] = 0.1;
    host.yearlyRates[1] = 0.2;
    host.yearlyRates[2] = 0.3;
    run();
    // placed in year 1 at 100, indexed by the rate of year 1 in year 2
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 2), 100.0 * 1.2 * 0.95);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 3), 100.0 * 1.2 * 1.3 * 0.95);

    DeferredCase young;
    young.member.age = 45;
    young.host.planParameters[9] = 1.0;
    young.host.yearlyRates = host.yearlyRates;
    young.setTransferFactor(46, 1.0);
    young.setTransferFactor(47, 1.0);
    young.run();
    EXPECT_DOUBLE_EQ(young.paid(cashflows::kLumpSumMale, 1), 100.0 * 0.1);
    EXPECT_DOUBLE_EQ(young.paid(cashflows::kLumpSumMale, 2), 100.0 * 1.2 * 0.09);
}

TEST_F(DeferredMember, AccruedPensionSplitsSalaryAtTheCeilingAverage) {
    host.planParameters[5] = 3.0;
    host.planParameters[6] = 0.02; // lowerAccrualRate
    basis->salaryCeiling[0] = 300.0;
    basis->pastSalaryCeiling[1] = 200.0;
    basis->pastSalaryCeiling[2] = 100.0;
    basis->pastSalaryCeiling[3] = 5000.0; // beyond the averaging years
    member.serviceWithoutGuarantee = 4.0 * kWeeksPerYear;
    basis->deferredAnnuityTable[0][49 - kAnnuityFirstAge][MaleIndexed] = 1.0;
    basis->deferredAnnuityTable[0][49 - kAnnuityFirstAge][MaleNonIndexed] = 10.0;
    const double ceilingAverage = 300.0 / 3.0 + 200.0 / 3.0 + 100.0 / 3.0;
    const double salaries[] = {1000.0, ceilingAverage, 150.0};
    for (double salary : salaries) {
        DeferredCase deferred;
        deferred.host = host;
        *deferred.basis = *basis;
        deferred.member = member;
        deferred.member.averageSalary = salary;
        deferred.run();
        const double lower = std::min(salary, ceilingAverage);
        const double upper = std::max(salary - ceilingAverage, 0.0);
        const double base = lower * 0.02 + upper * 0.01;
        EXPECT_NEAR(deferred.paid(cashflows::kLumpSumMale, 1), (base * 10.0 + base * 4.0 * 10.0) * 0.05, 1e-9)
            << "salary " << salary;
    }
}

TEST_F(DeferredMember, AllRetireAtAFixedDeferredRetirementAge) {
    host.demographicParameters[5] = 65.0;
    member.age = 50;
    member.spouseAge = 47;
    run();
    double deferred = 1.0;
    for (int u = 1; u <= 14; ++u) {
        EXPECT_EQ(events(decrements::kDeferredRetirements, u), 0.0) << "year " << u;
        EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, u), deferred * 0.1);
        deferred -= deferred * 0.1;
        EXPECT_DOUBLE_EQ(counted(members::kDeferredMale, u), deferred);
    }
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, 15), deferred * 0.1 / 2.0);
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredRetirements, 15), (1.0 - 0.05) * deferred);
    // D0 - (D0 q/2 + (1 - q/2) D0) leaves at most a rounding residue, which
    // retires the year after: past the age nobody stays deferred
    for (int u = 15; u < 111; ++u) {
        EXPECT_NEAR(counted(members::kDeferredMale, u), 0.0, 1e-15) << "year " << u;
        if (u > 15) {
            EXPECT_NEAR(events(decrements::kDeferredRetirements, u), 0.0, 1e-15);
        }
    }
    EXPECT_EQ(counted(members::kDeferredMale, 17), 0.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 15), 0.5 * 100.0 * (1.0 - 0.05) * deferred);
}

// With a fixed deferred retirement age of 65, members of 64 reach it in year
// 1; members of 65, 66 and 70 are past it and retire in year 1 all the same:
// half the year's deaths, the rest into a cohort that is paid.
TEST_F(DeferredMember, AtOrPastAFixedRetirementAgeRetiresInYearOneAndIsPaid) {
    for (int age : {64, 65, 66, 70}) {
        DeferredCase deferred;
        deferred.host.demographicParameters[5] = 65.0;
        deferred.member.age = age;
        deferred.run();
        EXPECT_DOUBLE_EQ(deferred.events(decrements::kDeferredDeaths, 1), 0.05) << age;
        EXPECT_DOUBLE_EQ(deferred.events(decrements::kDeferredRetirements, 1), 0.95) << age;
        EXPECT_NEAR(deferred.counted(members::kDeferredMale, 1), 0.0, 1e-15) << age;
        EXPECT_DOUBLE_EQ(deferred.counted(members::kDeferredRetireesInGuaranteeMale, 1), 0.95) << age;
        EXPECT_DOUBLE_EQ(deferred.paid(cashflows::kDeferredPensionMale, 1), 0.5 * 100.0 * 0.95) << age;
        EXPECT_DOUBLE_EQ(deferred.paid(cashflows::kDeferredPensionMale, 2), 100.0 * 0.95) << age;
        // nothing is left deferred to die there later
        EXPECT_NEAR(deferred.events(decrements::kDeferredDeaths, 2), 0.0, 1e-15) << age;
        double paid = 0.0;
        for (int u = 1; u < 111; ++u) paid += deferred.paid(cashflows::kDeferredPensionMale, u);
        EXPECT_GT(paid, 5.0 * 100.0 * 0.95) << age; // the guarantee and more
    }
}

// A member of 63 reaches 65 in year 2: deferred through year 1, retired in year 2.
TEST_F(DeferredMember, JustBeforeAFixedRetirementAgeRetiresTheYearItIsReached) {
    host.demographicParameters[5] = 65.0;
    member.age = 63;
    run();
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, 1), 0.1);
    EXPECT_EQ(events(decrements::kDeferredRetirements, 1), 0.0);
    EXPECT_DOUBLE_EQ(counted(members::kDeferredMale, 1), 0.9);
    EXPECT_EQ(paid(cashflows::kDeferredPensionMale, 1), 0.0);
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, 2), 0.9 * 0.05);
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredRetirements, 2), 0.9 * 0.95);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 2), 0.5 * 100.0 * 0.9 * 0.95);
}

TEST_F(DeferredMember, RetirementRatesApplyBetweenTheTableAges) {
    member.age = 62;
    run();
    // age 62 at the start of year 1: rate 0.2, both decrements halve the other
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredDeaths, 1), 0.1 * (1.0 - 0.1));
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredRetirements, 1), 0.2 * (1.0 - 0.05));
}

TEST_F(DeferredMember, BridgePaidToCohortsInsideTheBridgeAges) {
    host.planParameters[8] = 0.01;  // bridgeRate
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 64.0;
    host.retirementRates[1] = 50.0;
    host.retirementRates[26] = 57.0;
    for (int t = 0; t < kProjectionSlots; ++t) basis->salaryCeiling[t] = 5000.0;
    member.age = 57;
    member.spouseAge = 54;
    for (double service : {12.7, 7.9}) {
        DeferredCase deferred;
        deferred.host = host;
        *deferred.basis = *basis;
        deferred.member = member;
        deferred.member.serviceYears = service;
        deferred.run();
        const double bridge = 5000.0 * 0.01 * (service > 10.0 ? 10.0 : 7.0);
        for (int u : {1, 2, 9, 10}) EXPECT_EQ(deferred.paid(cashflows::kBridgePensionMale, u), 0.0) << u;
        for (int u = 3; u <= 5; ++u) EXPECT_DOUBLE_EQ(deferred.paid(cashflows::kBridgePensionMale, u), bridge * 0.95);
        const double alive = 0.95 * std::pow(0.9, 5);
        EXPECT_NEAR(deferred.paid(cashflows::kBridgePensionMale, 6), 0.5 * bridge * 0.95 + alive * 0.5 * bridge, 1e-9);
        for (int u = 7; u <= 8; ++u) EXPECT_GT(deferred.paid(cashflows::kBridgePensionMale, u), 0.0);
    }
}

TEST_F(DeferredMember, CeilingAverageReachesBackOnlyAsFarAsServiceAllows) {
    host.planParameters[5] = 3.0;
    host.planParameters[8] = 0.01;
    host.planParameters[14] = 0.0;
    host.planParameters[15] = 100.0;
    basis->salaryCeiling[0] = 300.0;
    basis->pastSalaryCeiling[1] = 200.0;
    basis->pastSalaryCeiling[2] = 100.0;
    const double averages[] = {(300.0 / 2.0 + 200.0 / 2.0), (300.0 / 3.0 + 200.0 / 3.0 + 100.0 / 3.0)};
    for (int past = 1; past <= 2; ++past) {
        DeferredCase deferred;
        deferred.host = host;
        *deferred.basis = *basis;
        deferred.member = member;
        deferred.member.cappedServiceYears = past;
        deferred.run();
        EXPECT_DOUBLE_EQ(deferred.paid(cashflows::kBridgePensionMale, 1),
                         0.5 * averages[past - 1] * 0.01 * 10.0 * 0.95) << past;
    }
    // from year A on only the ceilings after the valuation date count
    DeferredCase later;
    later.host = host;
    *later.basis = *basis;
    later.basis->salaryCeiling[1] = 600.0;
    later.basis->salaryCeiling[2] = 900.0;
    later.host.planParameters[5] = 2.0;
    later.host.demographicParameters[5] = 65.0;
    later.member = member;
    later.member.age = 62;
    later.run();
    EXPECT_DOUBLE_EQ(later.paid(cashflows::kBridgePensionMale, 3),
                     0.5 * (900.0 / 2.0 + 600.0 / 2.0) * 0.01 * 10.0 * later.events(decrements::kDeferredRetirements, 3));
}

TEST_F(DeferredMember, LongAveragingStaysInsideThePastCeilings) {
    host.planParameters[5] = 1000.0;
    host.planParameters[6] = 1.0;
    host.planParameters[7] = 0.0;
    member.averageSalary = 1e12;
    member.cappedServiceYears = 40;
    basis->salaryCeiling[0] = 1.0;
    for (int t = 1; t < kPastCeilingSlots; ++t) basis->pastSalaryCeiling[t] = 1.0;
    setTransferFactor(49, 1.0);
    run();
    double ceilingAverage = 1.0 / 1000.0;
    for (int t = 1; t < kPastCeilingSlots; ++t) ceilingAverage += 1.0 / 1000.0;
    EXPECT_DOUBLE_EQ(paid(cashflows::kLumpSumMale, 1), ceilingAverage * 10.0 * 0.05);

    DeferredCase undefined;
    undefined.host.planParameters[5] = std::nan("");
    undefined.run();
    EXPECT_DOUBLE_EQ(undefined.counted(members::kDeferredRetireesInGuaranteeMale, 1), 0.95);
}

TEST_F(DeferredMember, TransferValueReadsTheTableAtTheAgeReachedUpTo49) {
    member.age = 45;
    member.spouseAge = 42;
    for (int age = 46; age <= 49; ++age) setTransferFactor(age, age - 45.0);
    setTransferFactor(50, 99.0); // never read
    run();
    double deferred = 1.0;
    for (int u = 1; u <= 6; ++u) {
        const double factor = u <= 4 ? u : 4.0;
        EXPECT_DOUBLE_EQ(paid(cashflows::kLumpSumMale, u), 100.0 * factor * (deferred * 0.1)) << "year " << u;
        deferred *= 0.9;
    }
}

TEST_F(DeferredMember, EveryoneIsDeferredRetiredOrDead) {
    member.age = 55;
    member.spouseAge = 60;
    host.retirementRates[26] = 66.0;
    for (int age = 60; age < 66; ++age) host.retirementRates[28 + age - 60] = 0.15 + 0.05 * (age - 60);
    host.planParameters[13] = 7.0;
    for (int age = 20; age <= 119; ++age)
        for (int year = 0; year < kProjectionSlots; ++year) {
            basis->maleMortality[age][year] = 0.003 + 0.008 * (age - 55) + 0.0001 * year;
            basis->femaleMortality[age][year] = 0.002 + 0.006 * (age - 55);
        }
    run();
    // projected while U < 121 - 55
    EXPECT_EQ(counted(members::kDeferredRetireesMale, 66), 0.0);
    double dead = 0.0;
    for (int u = 1; u < 66; ++u) {
        dead += events(decrements::kDeferredDeaths, u) + events(decrements::kDeferredRetireeDeaths, u) +
                events(decrements::kGuaranteeDeathsDeferred, u);
        EXPECT_NEAR(counted(members::kDeferredMale, u) + counted(members::kDeferredRetireesInGuaranteeMale, u) +
                        counted(members::kDeferredRetireesMale, u) + dead, 1.0, 1e-12) << "year " << u;
    }
}

TEST_F(DeferredMember, RetirementAgeBelowTheTableStillFormsACohort) {
    host.demographicParameters[5] = 55.0; // below the first age 60 of the rates
    member.age = 50;
    run();
    EXPECT_GT(events(decrements::kDeferredRetirements, 5), 0.0);
    EXPECT_NEAR(counted(members::kDeferredRetireesInGuaranteeMale, 10), 0.0, 1e-15);
    double dead = 0.0;
    for (int u = 1; u < 60; ++u) {
        dead += events(decrements::kDeferredDeaths, u) + events(decrements::kDeferredRetireeDeaths, u) +
                events(decrements::kGuaranteeDeathsDeferred, u);
        EXPECT_NEAR(counted(members::kDeferredMale, u) + counted(members::kDeferredRetireesInGuaranteeMale, u) +
                        counted(members::kDeferredRetireesMale, u) + dead, 1.0, 1e-12) << "year " << u;
    }
}

// Retired at a fixed age of 55, five years before the first age of the
// rates: the cohort is paid through its guarantee and its survivors for life
// in the years before that age as after it.
TEST_F(DeferredMember, BelowTheFirstRateAgeTheCohortIsPaidEveryYear) {
    host.demographicParameters[5] = 55.0;
    host.planParameters[13] = 3.0;
    host.retirementFactors[1] = 50.0; // factors of 1 from age 50 on
    member.age = 50;
    member.spouseAge = 47;
    run();
    const double retired = std::pow(0.9, 4) * 0.95; // at age 55, in year 5
    EXPECT_DOUBLE_EQ(events(decrements::kDeferredRetirements, 5), retired);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 5), 0.5 * 100.0 * retired);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 6), 100.0 * retired);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDeferredPensionMale, 7), 100.0 * retired);
    // year 8: the guarantee ends, the survivors join the life pensioners
    const double alive = retired * std::pow(0.9, 3);
    EXPECT_NEAR(counted(members::kDeferredRetireesMale, 8), alive, 1e-15);
    EXPECT_NEAR(paid(cashflows::kDeferredPensionMale, 8), 0.5 * 100.0 * retired + 0.5 * 100.0 * alive, 1e-12);
    EXPECT_NEAR(paid(cashflows::kDeferredPensionMale, 9), 0.5 * 100.0 * alive * (1.0 + 0.9), 1e-12);
}

TEST_F(DeferredMember, WidowsOfAnImmortalSpouseAreThePensionersDeaths) {
    member.age = 58;
    host.planParameters[13] = 3.0;
    run();
    // the wife, 61 at the valuation date, outlives the table after year 60
    double pensionerDeaths = 0.0;
    for (int u = 1; u <= 60; ++u) {
        pensionerDeaths += events(decrements::kDeferredRetireeDeaths, u) + events(decrements::kGuaranteeDeathsDeferred, u);
        EXPECT_NEAR(counted(members::kDeferredSurvivorsFemale, u), pensionerDeaths, 1e-12) << "year " << u;
        EXPECT_EQ(events(decrements::kDeferredSurvivorDeaths, u), 0.0);
    }
    EXPECT_GT(pensionerDeaths, 0.5);
}

TEST_F(DeferredMember, FemaleMemberWritesFemaleBlocksAndHusbandBlocks) {
    member.sex = 'f';
    setMortality(basis->femaleMortality, 20, 119, 0.1);
    setMortality(basis->maleMortality, 20, 119, 0.0);
    basis->deferredAnnuityTable[0][49 - kAnnuityFirstAge][FemaleIndexed] = 12.0;
    run();
    EXPECT_EQ(counted(members::kDeferredFemale, 0), 1.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kLumpSumFemale, 1), 100.0 * 12.0 * 0.05);
    EXPECT_GT(counted(members::kDeferredSurvivorsMale, 6), 0.0);
    EXPECT_GT(paid(cashflows::kDeferredSpousePensionMale, 6), 0.0);
    EXPECT_EQ(sumOutside(host, {{0, members::kDeferredFemale}, {0, members::kDeferredRetireesFemale},
                                {0, members::kDeferredRetireesInGuaranteeFemale},
                                {0, members::kDeferredSurvivorsMale}, {0, members::kLumpSumsFemale},
                                {1, decrements::kDeferredDeaths}, {1, decrements::kDeferredRetirements},
                                {1, decrements::kDeferredRetireeDeaths}, {1, decrements::kGuaranteeDeathsDeferred},
                                {1, decrements::kDeferredSurvivorDeaths}, {2, cashflows::kDeferredPensionFemale},
                                {2, cashflows::kDeferredSpousePensionMale}, {2, cashflows::kLumpSumFemale}}),
              0.0);
}

TEST_F(DeferredMember, UnknownSexValuesNothing) {
    member.sex = 'U';
    run();
    EXPECT_EQ(sumOfAll(host), 0.0);
}

TEST_F(DeferredMember, YoungSpouseDoesNotRunPastTheLastYear) {
    member.age = 5;
    member.spouseAge = 3; // 121 - 3 years would overrun every block
    run();
    // pensioners are still alive in the last slot; a year 111 would land in
    // slot 0 of the next block
    EXPECT_GT(counted(members::kDeferredRetireesMale, 110), 0.0);
    EXPECT_EQ(counted(members::kDeferredRetireesFemale, 0), 0.0);
}

} // namespace
