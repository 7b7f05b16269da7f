// Surviving spouses in payment: a pension for the member's own life, indexed
// at the year's own rate, nothing after death.
#include <gtest/gtest.h>

#include "projection/member_valuation_fixture.h"

namespace {

struct SurvivingSpouseCase : MemberValuation {
    SurvivingSpouseCase() {
        member.age = 80;
        member.currentPension = 1000.0;
        member.guaranteedFraction = 0.6;
        host.planParameters[9] = 0.5; // indexationShare
        host.yearlyRates[0] = 0.9;    // never read: year U indexes with its own rate
        host.yearlyRates[1] = 0.02;
        host.yearlyRates[2] = 0.04;
        setMortality(basis->maleMortality, 80, 119, 0.1);
    }
    void run() { valueSurvivingSpouse(context(), member); }
};

struct SurvivingSpouse : ::testing::Test, SurvivingSpouseCase {};

TEST_F(SurvivingSpouse, FirstTwoYearsByHand) {
    member.projectionYears = 4;
    run();
    const double indexed1 = 600.0 * (1.0 + 0.02 * 0.5);
    const double indexed2 = indexed1 * (1.0 + 0.04 * 0.5);
    EXPECT_EQ(counted(members::kServiceSurvivorsMale, 0), 1.0);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsMale, 1), 0.9);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsMale, 2), 0.81);
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledSurvivorDeaths, 1), 0.1);
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledSurvivorDeaths, 2), 0.09);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionMale, 1), 0.5 * 1000.0 + 0.9 * 0.5 * (indexed1 + 400.0));
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionMale, 2),
                     0.9 * 0.5 * (indexed1 + 400.0) + 0.81 * 0.5 * (indexed2 + 400.0));
    // years 4 onward are beyond this member's projection
    EXPECT_EQ(counted(members::kServiceSurvivorsMale, 4), 0.0);
    EXPECT_EQ(sumOutside(host, {{0, members::kServiceSurvivorsMale},
                                {1, decrements::kDisabledSurvivorDeaths},
                                {2, cashflows::kServiceSpousePensionMale}}), 0.0);
}

TEST_F(SurvivingSpouse, FemaleUsesFemaleTableAndBlocksButSharedDeathBlock) {
    member.sex = 'f';
    setMortality(basis->femaleMortality, 80, 119, 0.25);
    member.projectionYears = 3;
    run();
    EXPECT_EQ(counted(members::kServiceSurvivorsFemale, 0), 1.0);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsFemale, 1), 0.75);
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledSurvivorDeaths, 1), 0.25);
    EXPECT_GT(paid(cashflows::kServiceSpousePensionFemale, 1), 0.0);
    EXPECT_EQ(sumOutside(host, {{0, members::kServiceSurvivorsFemale},
                                {1, decrements::kDisabledSurvivorDeaths},
                                {2, cashflows::kServiceSpousePensionFemale}}), 0.0);
}

TEST_F(SurvivingSpouse, UnknownSexValuesNothing) {
    member.sex = 'U';
    run();
    EXPECT_EQ(sumOfAll(host), 0.0);
}

TEST_F(SurvivingSpouse, DiesAtTheLatestAtAge120) {
    member.age = 118;
    basis->maleMortality[120][2] = 1.0; // the table's last row
    run();
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsMale, 2), 0.81);
    EXPECT_EQ(counted(members::kServiceSurvivorsMale, 3), 0.0);
    // beyond the table a life dies within the year: nobody is left to die
    for (int u = 4; u < 111; ++u) {
        EXPECT_EQ(counted(members::kServiceSurvivorsMale, u), 0.0);
        EXPECT_EQ(events(decrements::kDisabledSurvivorDeaths, u), 0.0);
        EXPECT_EQ(paid(cashflows::kServiceSpousePensionMale, u), 0.0);
    }
}

TEST_F(SurvivingSpouse, AliveAndDeadAddUpToOne) {
    for (int age = 80; age <= 119; ++age)
        for (int year = 0; year < kProjectionSlots; ++year)
            basis->maleMortality[age][year] = 0.01 + 0.02 * (age - 80) + 0.0001 * year;
    run();
    double dead = 0.0;
    for (int u = 1; u < 111; ++u) {
        dead += events(decrements::kDisabledSurvivorDeaths, u);
        EXPECT_NEAR(counted(members::kServiceSurvivorsMale, u) + dead, 1.0, 1e-12) << "year " << u;
    }
}

TEST_F(SurvivingSpouse, NoPensionStillProjectsTheCount) {
    member.currentPension = 0.0;
    member.projectionYears = 5;
    run();
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsMale, 4), 0.9 * 0.9 * 0.9 * 0.9);
    for (int u = 0; u < 111; ++u) EXPECT_EQ(paid(cashflows::kServiceSpousePensionMale, u), 0.0);
}

TEST_F(SurvivingSpouse, WholePensionIndexedGrowsByTheYearsRate) {
    member.guaranteedFraction = 1.0;
    host.planParameters[9] = 1.0;
    setMortality(basis->maleMortality, 80, 119, 0.0);
    member.projectionYears = 3;
    run();
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionMale, 1), 0.5 * 1000.0 + 0.5 * 1020.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionMale, 2), 0.5 * 1020.0 + 0.5 * 1020.0 * 1.04);
}

TEST_F(SurvivingSpouse, TwoValuationsAddUp) {
    run();
    const double once = paid(cashflows::kServiceSpousePensionMale, 7);
    run();
    EXPECT_EQ(paid(cashflows::kServiceSpousePensionMale, 7), 2.0 * once);
    EXPECT_EQ(counted(members::kServiceSurvivorsMale, 0), 2.0);
}

} // namespace
