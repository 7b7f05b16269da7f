// Pensioners: the guarantee period paid dead or alive, then a life pension
// with a spouse pension and a bridge pension inside the bridge ages.
#include <gtest/gtest.h>

#include "projection/member_valuation_fixture.h"

namespace {

struct PensionerCase : MemberValuation {
    PensionerCase() {
        member.age = 70;
        member.spouseAge = 67;
        member.currentPension = 1000.0;
        member.guaranteedFraction = 0.5;
        host.planParameters[9] = 1.0;  // indexationShare
        host.planParameters[12] = 0.6; // spouseFraction
        host.yearlyRates[0] = 0.02;    // year U indexes with year U - 1
        host.yearlyRates[1] = 0.03;
        host.yearlyRates[2] = 0.04;
        setMortality(basis->maleMortality, 50, 119, 0.1);
        setMortality(basis->femaleMortality, 50, 119, 0.2);
    }
    void run() { valuePensioner(context(), member); }
};

struct Pensioner : ::testing::Test, PensionerCase {};

TEST_F(Pensioner, LifePensionFirstTwoYearsByHand) {
    member.yearsRetired = 3; // no guarantee period: paid for life from year 1
    member.projectionYears = 3;
    run();
    EXPECT_EQ(counted(members::kServiceRetireesMale, 0), 1.0);
    EXPECT_DOUBLE_EQ(counted(members::kServiceRetireesMale, 1), 0.9);
    EXPECT_DOUBLE_EQ(events(decrements::kServiceRetireeDeaths, 1), 0.1);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsFemale, 1), 0.1 * 0.8);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 1), 0.5 * 1000.0 + 0.9 * 0.5 * (510.0 + 500.0));
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionFemale, 1), 0.08 * 0.5 * (306.0 + 300.0));

    const double survivors2 = 0.09 * 0.64 - 0.08 * 0.2 + 0.08;
    EXPECT_DOUBLE_EQ(events(decrements::kServiceSurvivorDeaths, 2), 0.08 * 0.2);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsFemale, 2), survivors2);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 2),
                     0.9 * 0.5 * 1010.0 + 0.81 * 0.5 * (510.0 * 1.03 + 500.0));
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionFemale, 2),
                     0.08 * 0.5 * 606.0 + survivors2 * 0.5 * (306.0 * 1.03 + 300.0));
    EXPECT_EQ(sumOutside(host, {{0, members::kServiceRetireesMale}, {0, members::kServiceSurvivorsFemale},
                                {1, decrements::kServiceRetireeDeaths}, {1, decrements::kServiceSurvivorDeaths},
                                {2, cashflows::kServicePensionMale},
                                {2, cashflows::kServiceSpousePensionFemale}}), 0.0);
}

TEST_F(Pensioner, GuaranteeOfFiveYearsWithTwoRetired) {
    host.planParameters[13] = 5.0;
    member.yearsRetired = 2;
    run();
    // two certain years, whatever the mortality
    EXPECT_EQ(counted(members::kServiceRetireesInGuaranteeMale, 0), 1.0);
    EXPECT_EQ(counted(members::kServiceRetireesMale, 0), 0.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 1), 510.0 + 500.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 2), 510.0 * 1.03 + 500.0);
    for (int u = 1; u <= 2; ++u) {
        EXPECT_EQ(counted(members::kServiceRetireesInGuaranteeMale, u), 1.0);
        EXPECT_EQ(counted(members::kServiceRetireesMale, u), 0.0);
        EXPECT_EQ(events(decrements::kGuaranteeDeathsService, u), 0.0);
        EXPECT_EQ(paid(cashflows::kServiceSpousePensionFemale, u), 0.0);
    }
    // year 3 ends the guarantee: half a year certain, half if alive, and the
    // deaths of the three years surface with their widows
    const double pension3 = 510.0 * 1.03 * 1.04 + 500.0;
    const double alive = 0.9 * 0.9 * 0.9;
    const double widows = (1.0 - alive) * (0.8 * 0.8 * 0.8);
    EXPECT_EQ(counted(members::kServiceRetireesInGuaranteeMale, 3), 0.0);
    EXPECT_DOUBLE_EQ(counted(members::kServiceRetireesMale, 3), alive);
    EXPECT_DOUBLE_EQ(events(decrements::kGuaranteeDeathsService, 3), 1.0 - alive);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsFemale, 3), widows);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 3), pension3 * 0.5 + pension3 * 0.5 * alive);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServiceSpousePensionFemale, 3), pension3 * 0.5 * 0.6 * widows);
    // year 4: life payment from the handed-over amounts
    EXPECT_DOUBLE_EQ(events(decrements::kServiceRetireeDeaths, 4), alive * 0.1);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 4), alive * 0.5 * pension3 + alive * 0.9 * 0.5 * pension3);
    EXPECT_DOUBLE_EQ(counted(members::kServiceSurvivorsFemale, 4),
                     alive * 0.1 * (0.8 * 0.8 * 0.8 * 0.8) - widows * 0.2 + widows);
    EXPECT_EQ(events(decrements::kServiceRetireeDeaths, 3), 0.0);
}

TEST_F(Pensioner, GuaranteeEndingInTheFirstYear) {
    host.planParameters[13] = 5.0;
    member.yearsRetired = 4;
    run();
    EXPECT_EQ(counted(members::kServiceRetireesInGuaranteeMale, 0), 1.0);
    EXPECT_EQ(counted(members::kServiceRetireesInGuaranteeMale, 1), 0.0);
    EXPECT_DOUBLE_EQ(counted(members::kServiceRetireesMale, 1), 0.9);
    EXPECT_DOUBLE_EQ(paid(cashflows::kServicePensionMale, 1), 1010.0 * 0.5 + 1010.0 * 0.5 * 0.9);
}

TEST_F(Pensioner, PastTheGuaranteeOrWithoutOneIsPaidForLife) {
    for (double period : {5.0, 0.0}) {
        PensionerCase pensioner;
        pensioner.host.planParameters[13] = period;
        pensioner.member.yearsRetired = 5;
        pensioner.run();
        EXPECT_EQ(pensioner.counted(members::kServiceRetireesMale, 0), 1.0);
        for (int u = 0; u < 111; ++u) {
            EXPECT_EQ(pensioner.counted(members::kServiceRetireesInGuaranteeMale, u), 0.0);
            EXPECT_EQ(pensioner.events(decrements::kGuaranteeDeathsService, u), 0.0);
        }
        EXPECT_DOUBLE_EQ(pensioner.counted(members::kServiceRetireesMale, 1), 0.9);
    }
}

TEST_F(Pensioner, GuaranteeEndingWithinTheYearLeavesItInYearOne) {
    // a fractional period, or one longer than the ring holds, must not drop
    // the pensioner out of the ring unpaid
    const double periods[] = {5.5, 25.0};
    const int retired[] = {5, 19};
    for (int k = 0; k < 2; ++k) {
        PensionerCase pensioner;
        pensioner.host.planParameters[13] = periods[k];
        pensioner.member.yearsRetired = retired[k];
        pensioner.run();
        EXPECT_EQ(pensioner.counted(members::kServiceRetireesInGuaranteeMale, 0), 1.0);
        EXPECT_EQ(pensioner.counted(members::kServiceRetireesInGuaranteeMale, 1), 0.0);
        EXPECT_DOUBLE_EQ(pensioner.counted(members::kServiceRetireesMale, 1), 0.9);
        EXPECT_DOUBLE_EQ(pensioner.events(decrements::kGuaranteeDeathsService, 1), 0.1);
        EXPECT_DOUBLE_EQ(pensioner.paid(cashflows::kServicePensionMale, 1), 1010.0 * 0.5 + 1010.0 * 0.5 * 0.9);
    }
    // beyond the ring's 19 years the pension is valued as past the guarantee
    PensionerCase beyond;
    beyond.host.planParameters[13] = 25.0;
    beyond.member.yearsRetired = 20;
    beyond.run();
    EXPECT_EQ(beyond.counted(members::kServiceRetireesMale, 0), 1.0);
    EXPECT_EQ(beyond.counted(members::kServiceRetireesInGuaranteeMale, 0), 0.0);
}

TEST_F(Pensioner, MaritalStatusDecidesWhetherASpouseExists) {
    for (char status : {'S', 's', '?'}) {
        PensionerCase single;
        single.host.planParameters[13] = 5.0;
        single.member.yearsRetired = 2;
        single.member.maritalStatus = status;
        single.run();
        for (int u = 0; u < 111; ++u) {
            EXPECT_EQ(single.counted(members::kServiceSurvivorsFemale, u), 0.0);
            EXPECT_EQ(single.paid(cashflows::kServiceSpousePensionFemale, u), 0.0);
        }
        EXPECT_GT(single.events(decrements::kServiceRetireeDeaths, 5), 0.0);
    }
    PensionerCase married;
    married.run();
    for (char status : {'U', 'u', 'm'}) {
        PensionerCase unknown;
        unknown.member.maritalStatus = status;
        unknown.run();
        EXPECT_EQ(unknown.host.memberCounts, married.host.memberCounts);
        EXPECT_EQ(unknown.host.benefitCashflows, married.host.benefitCashflows);
    }
}

TEST_F(Pensioner, BridgePaidInsideTheBridgeAgesToPensionerAndWidow) {
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 64.0;
    host.yearlyRates = std::vector<double>(222, 0.0);
    setMortality(basis->femaleMortality, 50, 119, 0.0);
    member.age = 58;
    member.spouseAge = 55;
    member.bridgePension = 100.0;
    run();
    for (int u : {1, 8, 9}) {
        EXPECT_EQ(paid(cashflows::kBridgePensionMale, u), 0.0) << "year " << u;
        EXPECT_EQ(paid(cashflows::kBridgePensionFemale, u), 0.0) << "year " << u;
    }
    for (int u = 2; u <= 7; ++u) {
        EXPECT_GT(paid(cashflows::kBridgePensionMale, u), 0.0) << "year " << u;
        EXPECT_GT(paid(cashflows::kBridgePensionFemale, u), 0.0) << "year " << u;
    }
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionMale, 2), 0.9 * 0.5 * 100.0 + 0.81 * 0.5 * 100.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionFemale, 2), (0.1 * 0.5 * 100.0 + 0.19 * 0.5 * 100.0) * 0.6);
}

TEST_F(Pensioner, BridgeGrowsByBothRatesOfThePreviousYear) {
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 80.0;
    host.yearlyRates[111] = 0.5; // second row, read in year 1
    setMortality(basis->maleMortality, 50, 119, 0.0);
    member.bridgePension = 100.0;
    member.projectionYears = 2;
    run();
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionMale, 1), 0.5 * 100.0 + 0.5 * (1.02 * 1.5 * 100.0));
}

TEST_F(Pensioner, LastGuaranteeYearPaysBridgeWhateverTheAge) {
    host.planParameters[13] = 5.0;
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 64.0;
    host.yearlyRates = std::vector<double>(222, 0.0);
    member.yearsRetired = 2;
    member.bridgePension = 100.0;
    run();
    const double alive = 0.9 * 0.9 * 0.9;
    EXPECT_EQ(paid(cashflows::kBridgePensionMale, 1), 0.0);
    EXPECT_EQ(paid(cashflows::kBridgePensionMale, 2), 0.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionMale, 3), 0.5 * 100.0 + 0.5 * 100.0 * alive);
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionFemale, 3),
                     0.5 * 100.0 * 0.6 * (1.0 - alive) * (0.8 * 0.8 * 0.8));
    EXPECT_EQ(paid(cashflows::kBridgePensionMale, 4), 0.0);
}

TEST_F(Pensioner, GuaranteeYearsInsideTheBridgeAgesPayFullBridges) {
    host.planParameters[13] = 5.0;
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 64.0;
    host.yearlyRates = std::vector<double>(222, 0.0);
    member.age = 58;
    member.yearsRetired = 2;
    member.bridgePension = 100.0;
    run();
    EXPECT_EQ(paid(cashflows::kBridgePensionMale, 1), 0.0); // reaches 59: outside
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionMale, 2), 100.0);
    EXPECT_DOUBLE_EQ(paid(cashflows::kBridgePensionMale, 3), 0.5 * 100.0 + 0.5 * 100.0 * 0.9 * 0.9 * 0.9);
}

TEST_F(Pensioner, FemalePensionerMirrorsTheMaleBlocks) {
    host.planParameters[13] = 5.0;
    host.planParameters[14] = 60.0;
    host.planParameters[15] = 75.0;
    member.yearsRetired = 2;
    member.bridgePension = 100.0;
    PensionerCase woman;
    woman.host = host;
    woman.member = member;
    woman.member.sex = 'F';
    // her table holds his rates and her husband's table his wife's
    std::copy(&basis->maleMortality[0][0], &basis->maleMortality[0][0] + 121 * 111, &woman.basis->femaleMortality[0][0]);
    std::copy(&basis->femaleMortality[0][0], &basis->femaleMortality[0][0] + 121 * 111, &woman.basis->maleMortality[0][0]);
    run();
    woman.run();
    const std::pair<int, int> countPairs[] = {
        {members::kServiceRetireesInGuaranteeMale, members::kServiceRetireesInGuaranteeFemale},
        {members::kServiceRetireesMale, members::kServiceRetireesFemale},
        {members::kServiceSurvivorsFemale, members::kServiceSurvivorsMale}};
    const std::pair<int, int> paidPairs[] = {
        {cashflows::kServicePensionMale, cashflows::kServicePensionFemale},
        {cashflows::kServiceSpousePensionFemale, cashflows::kServiceSpousePensionMale},
        {cashflows::kBridgePensionMale, cashflows::kBridgePensionFemale},
        {cashflows::kBridgePensionFemale, cashflows::kBridgePensionMale}};
    for (int u = 0; u < 111; ++u) {
        for (const auto &[his, hers] : countPairs) EXPECT_EQ(counted(his, u), woman.counted(hers, u));
        for (const auto &[his, hers] : paidPairs) EXPECT_EQ(paid(his, u), woman.paid(hers, u));
    }
    EXPECT_EQ(host.decrementCounts, woman.host.decrementCounts);
    EXPECT_GT(woman.paid(cashflows::kBridgePensionMale, 6), 0.0);
}

TEST_F(Pensioner, EveryoneIsInGuaranteePastItOrDead) {
    host.planParameters[13] = 7.0;
    member.yearsRetired = 1;
    for (int age = 50; age <= 119; ++age)
        for (int year = 0; year < kProjectionSlots; ++year)
            basis->maleMortality[age][year] = 0.01 * (age - 60) + 0.0002 * year;
    run();
    double dead = 0.0;
    for (int u = 1; u < 111; ++u) {
        dead += events(decrements::kServiceRetireeDeaths, u) + events(decrements::kGuaranteeDeathsService, u);
        EXPECT_NEAR(counted(members::kServiceRetireesInGuaranteeMale, u) + counted(members::kServiceRetireesMale, u) +
                        dead, 1.0, 1e-12) << "year " << u;
    }
}

TEST_F(Pensioner, UnknownSexValuesNothing) {
    host.planParameters[13] = 5.0;
    member.sex = 'U';
    run();
    EXPECT_EQ(sumOfAll(host), 0.0);
}

} // namespace
