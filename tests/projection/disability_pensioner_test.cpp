// Disability pensioners: a life pension at the loaded age, then a spouse
// pension for the spouse's life.
#include <gtest/gtest.h>

#include "projection/member_valuation_fixture.h"

namespace {

struct DisabilityPensionerCase : MemberValuation {
    DisabilityPensionerCase() {
        member.age = 60;
        member.spouseAge = 57;
        member.currentPension = 1000.0;
        member.guaranteedFraction = 0.5;
        host.planParameters[9] = 1.0;    // indexationShare
        host.planParameters[12] = 0.6;   // spouseFraction
        host.yearlyRates[0] = 0.9;       // never read
        host.yearlyRates[1] = 0.02;
        host.yearlyRates[2] = 0.04;
    }
    void run() { valueDisabilityPensioner(context(), member); }
};

struct DisabilityPensioner : ::testing::Test, DisabilityPensionerCase {};

TEST_F(DisabilityPensioner, FirstTwoYearsByHand) {
    setMortality(basis->maleMortality, 60, 119, 0.1);
    setMortality(basis->femaleMortality, 57, 119, 0.2);
    member.projectionYears = 3;
    run();
    const double indexed1 = 500.0 * 1.02;
    const double indexed2 = indexed1 * 1.04;
    EXPECT_EQ(counted(members::kDisabledMale, 0), 1.0);
    EXPECT_DOUBLE_EQ(counted(members::kDisabledMale, 1), 0.9);
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledDeaths, 1), 0.1);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDisabilityPensionMale, 1), 0.5 * 1000.0 + 0.9 * 0.5 * (500.0 + indexed1));
    // the widow of year 1 has lived through year 1 already
    EXPECT_DOUBLE_EQ(counted(members::kDisabledSurvivorsFemale, 1), 0.1 * 0.8);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDisabledSpousePensionFemale, 1), 0.08 * 0.5 * (indexed1 + 500.0) * 0.6);
    // year 2: she meets her own mortality, and a new widow joins
    const double survivors2 = 0.09 * 0.64 - 0.08 * 0.2 + 0.08;
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledSurvivorDeaths, 2), 0.08 * 0.2);
    EXPECT_DOUBLE_EQ(counted(members::kDisabledSurvivorsFemale, 2), survivors2);
    EXPECT_DOUBLE_EQ(paid(cashflows::kDisabledSpousePensionFemale, 2),
                     (0.08 * 0.5 * (indexed1 + 500.0) + survivors2 * 0.5 * (indexed2 + 500.0)) * 0.6);
    EXPECT_EQ(sumOutside(host, {{0, members::kDisabledMale}, {0, members::kDisabledSurvivorsFemale},
                                {1, decrements::kDisabledDeaths}, {1, decrements::kDisabledSurvivorDeaths},
                                {2, cashflows::kDisabilityPensionMale},
                                {2, cashflows::kDisabledSpousePensionFemale}}), 0.0);
}

TEST_F(DisabilityPensioner, FemalePensionerWritesFemaleBlocksAndHusbandBlocks) {
    member.sex = 'F';
    setMortality(basis->femaleMortality, 60, 119, 0.1);
    member.projectionYears = 3;
    run();
    EXPECT_EQ(counted(members::kDisabledFemale, 0), 1.0);
    EXPECT_DOUBLE_EQ(counted(members::kDisabledFemale, 1), 0.9);
    EXPECT_DOUBLE_EQ(counted(members::kDisabledSurvivorsMale, 1), 0.1);
    EXPECT_GT(paid(cashflows::kDisabilityPensionFemale, 1), 0.0);
    EXPECT_GT(paid(cashflows::kDisabledSpousePensionMale, 1), 0.0);
    EXPECT_EQ(sumOutside(host, {{0, members::kDisabledFemale}, {0, members::kDisabledSurvivorsMale},
                                {1, decrements::kDisabledDeaths}, {1, decrements::kDisabledSurvivorDeaths},
                                {2, cashflows::kDisabilityPensionFemale},
                                {2, cashflows::kDisabledSpousePensionMale}}), 0.0);
}

TEST_F(DisabilityPensioner, MortalityIsReadAtTheLoadedAge) {
    host.demographicParameters[2] = 5.7; // truncated to 5
    basis->maleMortality[60][0] = 0.5;   // the unloaded age: not read
    basis->maleMortality[65][0] = 0.1;
    basis->maleMortality[66][1] = 0.2;
    run();
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledDeaths, 1), 0.1);
    EXPECT_DOUBLE_EQ(events(decrements::kDisabledDeaths, 2), 0.9 * 0.2);
}

TEST_F(DisabilityPensioner, LoadedAgeAbove120DiesWithinTheYear) {
    host.demographicParameters[2] = 5.0;
    member.age = 115;
    member.spouseAge = 30;
    run();
    // year 1 reads age 120 (row 0 here), year 2 age 121: certain death
    EXPECT_EQ(events(decrements::kDisabledDeaths, 1), 0.0);
    EXPECT_EQ(events(decrements::kDisabledDeaths, 2), 1.0);
    EXPECT_EQ(counted(members::kDisabledMale, 2), 0.0);
}

TEST_F(DisabilityPensioner, NegativeLoadedAgeHasNoDeaths) {
    host.demographicParameters[2] = -70.0;
    setMortality(basis->maleMortality, 0, 119, 0.3);
    member.projectionYears = 3;
    run();
    EXPECT_EQ(events(decrements::kDisabledDeaths, 1), 0.0);
    EXPECT_EQ(counted(members::kDisabledMale, 2), 1.0);
}

TEST_F(DisabilityPensioner, IndexationFollowsTheGuaranteedFraction) {
    member.projectionYears = 2;
    member.guaranteedFraction = 0.0;
    run();
    EXPECT_DOUBLE_EQ(paid(cashflows::kDisabilityPensionMale, 1), 1000.0);

    DisabilityPensionerCase indexed;
    indexed.member.guaranteedFraction = 1.0;
    indexed.member.projectionYears = 2;
    indexed.run();
    EXPECT_DOUBLE_EQ(indexed.paid(cashflows::kDisabilityPensionMale, 1), 0.5 * 1000.0 + 0.5 * 1020.0);
}

TEST_F(DisabilityPensioner, ValuedWithASpouseWhateverTheMaritalStatus) {
    member.maritalStatus = 'S';
    setMortality(basis->maleMortality, 60, 119, 0.1);
    run();
    // a spouse who never dies becomes a widow with every death
    double dead = 0.0;
    for (int u = 1; u < 50; ++u) {
        dead += events(decrements::kDisabledDeaths, u);
        EXPECT_NEAR(counted(members::kDisabledSurvivorsFemale, u), dead, 1e-12);
        EXPECT_EQ(events(decrements::kDisabledSurvivorDeaths, u), 0.0);
    }
}

TEST_F(DisabilityPensioner, YearEndingWithExactlyNoSurvivorPaysNoSpousePension) {
    setMortality(basis->maleMortality, 60, 119, 0.1);
    basis->femaleMortality[59][2] = 1.0; // the spouse dies for certain in year 3
    run();
    ASSERT_GT(counted(members::kDisabledSurvivorsFemale, 2), 0.0);
    EXPECT_EQ(counted(members::kDisabledSurvivorsFemale, 3), 0.0);
    // the widows alive at the start of year 3 are not paid their half year
    EXPECT_EQ(paid(cashflows::kDisabledSpousePensionFemale, 3), 0.0);
    EXPECT_GT(paid(cashflows::kDisabilityPensionMale, 3), 0.0);
}

TEST_F(DisabilityPensioner, PensionersAndSurvivorsAreConserved) {
    for (int age = 60; age <= 119; ++age)
        for (int year = 0; year < kProjectionSlots; ++year) {
            basis->maleMortality[age][year] = 0.005 * (age - 55) + 0.0001 * year;
            basis->femaleMortality[age - 3][year] = 0.004 * (age - 55);
        }
    run();
    double deaths = 0.0, survivorsCreated = 0.0, survivorDeaths = 0.0, spouseAlive = 1.0;
    for (int u = 1; u < 111; ++u) {
        deaths += events(decrements::kDisabledDeaths, u);
        EXPECT_NEAR(counted(members::kDisabledMale, u) + deaths, 1.0, 1e-12) << "year " << u;
        spouseAlive *= 1.0 - mortalityRate(basis->femaleMortality, 57 + u - 1, u - 1);
        survivorsCreated += events(decrements::kDisabledDeaths, u) * spouseAlive;
        survivorDeaths += events(decrements::kDisabledSurvivorDeaths, u);
        EXPECT_NEAR(counted(members::kDisabledSurvivorsFemale, u) + survivorDeaths, survivorsCreated, 1e-12);
    }
}

TEST_F(DisabilityPensioner, UnknownSexValuesNothing) {
    member.sex = 'x';
    run();
    EXPECT_EQ(sumOfAll(host), 0.0);
}

} // namespace
