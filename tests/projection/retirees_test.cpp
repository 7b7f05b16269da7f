// The year step of old-age pensioners fed by cohorts, and of disability
// pensioners, on hand-computed cases: a guarantee of two years, one cohort
// leaving it, one arriving, pensioners past it with their bridge, in both
// orders of the arithmetic.
#include <gtest/gtest.h>

#include "projection/population_steps.h"
#include "projection/result_layout.h"
#include "support/test_support.h"

namespace {

struct RetireeYearCase {
    TestHost host;
    HostArrays arrays = host.arrays();
    Results results{arrays.memberCounts, arrays.decrementCounts, arrays.benefitCashflows};
    PlanTerms terms{};
    YearRates<double> year{};
    YearEvents events{};
    GuaranteeRing<double> ring{};
    Retirees<double> retirees{};

    RetireeYearCase() {
        terms.guaranteeSlots = 2;
        year.year = 7;
        year.memberMortality = 0.1;
        year.spouseMortality = 0.2;
        year.laggedIndexation = 1.1;
        year.laggedBridgeGrowth = BridgeGrowth<double>{1.02, 1.03, 1.02 * 1.03};
        year.bridgeGrowth = BridgeGrowth<double>{1.01, 1.02, 1.01 * 1.02};
        year.inBridgeWindow = true;
        retirees.cohorts = &ring;
        retirees.origin = Origin::deferment;
        // the cohort of last year, one slot from the end of its guarantee
        ring.slot[1] = GuaranteeCohort<double>{100.0, 20.0, 10.0, 0.5, 0.5, 1.0};
        retirees.inGuarantee = 0.5;
        retirees.count = 1.0;
        retirees.spouseSurvival = 0.9;
        retirees.pension = PensionAmounts<double>{200.0, 50.0, 0.0, 0.0};
        retirees.bridge = 30.0;
    }
    void step(Order order) {
        const RetireeYear moved = moveRetirees(retirees, 0.3, events, terms, year, order, true, results);
        receiveAndPayRetirees(retirees, CohortArrivals<double>{0.3, 300.0, 60.0, 5.0}, moved, terms, year, order, true,
                              results);
    }
    double members(int block) const { return host.memberCounts[block + 7]; }
    double counted(int block) const { return host.decrementCounts[block + 7]; }
    double paid(int block) const { return host.benefitCashflows[block + 7]; }
};

TEST(RetireeYear, CohortLeavesTheGuaranteeAndJoinsThePensionersForLife) {
    for (Order order : {Order::inService, Order::laterState}) {
        RetireeYearCase r;
        r.step(order);
        const double leavingBridge = 10.0 * 1.02 * 1.03;
        // slot 0: the cohort indexed and aged a year; 0.05 died inside the guarantee
        EXPECT_DOUBLE_EQ(r.ring.slot[0].indexedPension, 110.0);
        EXPECT_DOUBLE_EQ(r.ring.slot[0].survivingNumber, 0.45);
        EXPECT_NEAR(r.ring.slot[0].bridgePension, leavingBridge, 1e-12);
        EXPECT_DOUBLE_EQ(r.ring.slot[0].spouseSurvival, 0.8);
        EXPECT_DOUBLE_EQ(r.events.deferredRetireeDeaths, 0.1);
        EXPECT_DOUBLE_EQ(r.events.guaranteeDeathsDeferred, 0.05);
        EXPECT_DOUBLE_EQ(r.counted(decrements::kGuaranteeDeathsDeferred), 0.05);
        // R1 = R0 + surviving - deaths; G1 = G0 + arriving - leaving
        EXPECT_NEAR(r.retirees.count, 1.35, 1e-15);
        EXPECT_NEAR(r.members(members::kDeferredRetireesMale), 1.35, 1e-15);
        EXPECT_NEAR(r.retirees.inGuarantee, 0.3, 1e-15);
        EXPECT_NEAR(r.retirees.spouseSurvival, (0.8 * 0.9 * 0.9 + 0.45 * 0.8) / 1.35, 1e-15);
        // the averages: the kept 0.9 indexed by I', and the leaving cohort's survivors
        const double indexed = (200.0 * 0.9 * 1.1 + 110.0 * 0.45) / 1.35;
        const double fixed = (50.0 * 0.9 + 20.0 * 0.45) / 1.35;
        EXPECT_NEAR(r.retirees.pension.indexed, indexed, 1e-12);
        EXPECT_NEAR(r.retirees.pension.nonIndexed, fixed, 1e-12);
        // half a year to the leaving cohort and to the arriving one, mid-year for life
        EXPECT_NEAR(r.paid(cashflows::kDeferredPensionMale),
                    0.5 * 0.5 * 130.0 + 0.5 * 0.3 * 360.0 + 0.5 * 1.0 * 250.0 + 0.5 * 1.35 * (indexed + fixed),
                    1e-9);
        // bridges of the cohorts, and the average past the guarantee grown by W(U)
        const double bridge = (30.0 * 0.9 * 1.01 * 1.02 + leavingBridge * 0.45) / 1.35;
        EXPECT_NEAR(r.retirees.bridge, bridge, 1e-12);
        EXPECT_NEAR(r.paid(cashflows::kBridgePensionMale),
                    0.5 * 5.0 * 0.3 + 0.5 * leavingBridge * 0.5 + 0.5 * 30.0 + 0.5 * 1.35 * bridge, 1e-9);
        // the new cohort in slot P
        EXPECT_EQ(r.ring.slot[2].retiredNumber, 0.3);
        EXPECT_EQ(r.ring.slot[2].spouseSurvival, 1.0);
    }
}

TEST(RetireeYear, OutsideTheBridgeAgesNoBridgeIsPaidAndTheAverageStays) {
    RetireeYearCase r;
    r.year.inBridgeWindow = false;
    r.step(Order::inService);
    EXPECT_EQ(r.paid(cashflows::kBridgePensionMale), 0.0);
    EXPECT_EQ(r.retirees.bridge, 30.0);
}

TEST(RetireeYear, AnEmptyRingStaysWhereItIs) {
    RetireeYearCase r;
    r.retirees.inGuarantee = 0.0;
    r.ring.slot[0] = GuaranteeCohort<double>{1.0, 1.0, 1.0, 1.0, 1.0, 1.0}; // left from an earlier year
    r.step(Order::inService);
    EXPECT_EQ(r.ring.slot[0].retiredNumber, 0.0); // only the leaving slot is cleared
    EXPECT_EQ(r.ring.slot[1].retiredNumber, 0.5);
    EXPECT_DOUBLE_EQ(r.retirees.count, 0.9);
}

// Disability pensioners from service are averaged with the year's disabled,
// one disabled life keeps its own pension; both are indexed by I(U).
TEST(DisabledYear, EntrantsAreAveragedAndOneLifeIsIndexed) {
    TestHost host;
    const HostArrays arrays = host.arrays();
    const Results results{arrays.memberCounts, arrays.decrementCounts, arrays.benefitCashflows};
    YearRates<double> year{};
    year.year = 2;
    year.disabledMortality = 0.2;
    year.spouseMortality = 0.5;
    year.indexation = 1.25;
    YearEvents events{};
    Disabled<double> fromService{};
    fromService.count = 0.5;
    fromService.spouseSurvival = 1.0;
    fromService.pension = PensionAmounts<double>{100.0, 40.0, 0.0, 0.0};
    stepDisabled(fromService, Entrants<double>{0.1, 0.1 * 300.0, 0.1 * 60.0, 0.0}, events, year, false, results);
    EXPECT_DOUBLE_EQ(events.disabledDeaths, 0.1);
    EXPECT_DOUBLE_EQ(fromService.count, 0.5);
    EXPECT_DOUBLE_EQ(fromService.spouseSurvival, 0.5);
    EXPECT_DOUBLE_EQ(fromService.pension.indexed, (100.0 * 0.4 * 1.25 + 30.0) / 0.5);
    EXPECT_DOUBLE_EQ(fromService.pension.nonIndexed, (40.0 * 0.4 + 6.0) / 0.5);
    EXPECT_NEAR(host.benefitCashflows[cashflows::kDisabilityPensionFemale + 2],
                0.5 * 0.5 * 140.0 + 0.5 * 0.5 * (160.0 + 44.0), 1e-12);

    Disabled<double> oneLife{};
    oneLife.keeping = Keeping::ownLife;
    oneLife.count = 1.0;
    oneLife.pension = PensionAmounts<double>{100.0, 40.0, 0.0, 0.0};
    stepDisabled(oneLife, noEntrants<double>(), events, year, true, results);
    EXPECT_DOUBLE_EQ(oneLife.count, 0.8);
    EXPECT_DOUBLE_EQ(oneLife.pension.indexed, 125.0);
    EXPECT_NEAR(host.benefitCashflows[cashflows::kDisabilityPensionMale + 2], 0.5 * 140.0 + 0.5 * 0.8 * 165.0,
                1e-12);
}

} // namespace
