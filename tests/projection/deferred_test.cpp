// The year step of deferred members on hand-computed cases: the exits by the
// rate table and at a fixed deferred retirement age (before, at and past
// it), the counts in both orders, the amounts of leavers from service and of
// one life deferred at the valuation date, and what those who retire bring.
#include <gtest/gtest.h>

#include "projection/population_steps.h"
#include "projection/result_layout.h"
#include "support/test_support.h"

namespace {

struct DeferredYear {
    TestHost host;
    HostArrays arrays = host.arrays();
    Results results{arrays.memberCounts, arrays.decrementCounts, arrays.benefitCashflows};
    PlanTerms terms{};
    YearRates<double> year{};
    YearEvents events{};
    Deferred<double> deferred{};

    DeferredYear() {
        year.year = 3;
        year.ageReached = 60;
        year.memberMortality = 0.1;
        year.indexation = 1.2;
        year.laggedIndexation = 1.1;
        deferred.count = 1.0;
        deferred.indexedPension = 100.0;
        deferred.nonIndexedPension = 50.0;
        deferred.serviceYears = 10.0;
    }
    void step(const Entrants<double> &leavers, Order order) {
        stepDeferred(deferred, leavers, events, terms, year, order, true, results);
    }
    double members(int block) const { return host.memberCounts[block + year.year]; }
    double counted(int block) const { return host.decrementCounts[block + year.year]; }
};

Entrants<double> leaversOf(double number, double indexed, double nonIndexed, double service) {
    return Entrants<double>{number, indexed * number, nonIndexed * number, service * number};
}

TEST(DeferredYear, ByTheRateTableBothDecrementsHalveTheOther) {
    DeferredYear d;
    d.year.retirement = 0.4;
    d.step(noEntrants<double>(), Order::inService);
    EXPECT_DOUBLE_EQ(d.events.deferredDeaths, 0.1 * (1 - 0.2));
    EXPECT_DOUBLE_EQ(d.events.deferredRetirements, 0.4 * (1 - 0.05));
    EXPECT_DOUBLE_EQ(d.counted(decrements::kDeferredDeaths), d.events.deferredDeaths);
    EXPECT_DOUBLE_EQ(d.counted(decrements::kDeferredRetirements), d.events.deferredRetirements);
    EXPECT_NEAR(d.members(members::kDeferredMale), 1 - 0.08 - 0.38, 1e-15);
}

// A fixed age of 62: before it the deferred only die; in the year that
// reaches it, and in any year that starts past it, they all leave deferment.
TEST(DeferredYear, AtAFixedAgeEveryoneLeavesInTheYearItIsReachedOrAfter) {
    struct Case { int ageReached; double deaths; double retirements; };
    const Case cases[] = {{61, 0.1, 0.0}, {62, 0.05, 0.95}, {63, 0.05, 0.95}, {80, 0.05, 0.95}};
    for (const Case &c : cases) {
        for (Order order : {Order::inService, Order::laterState}) {
            DeferredYear d;
            d.terms.deferredRetirementAge = 62;
            d.year.retirement = 0.5; // the table plays no part at a fixed age
            d.year.ageReached = c.ageReached;
            d.step(noEntrants<double>(), order);
            EXPECT_DOUBLE_EQ(d.events.deferredDeaths, c.deaths) << c.ageReached;
            EXPECT_DOUBLE_EQ(d.events.deferredRetirements, c.retirements) << c.ageReached;
            // the one member is deferred, dead or retired
            EXPECT_NEAR(d.deferred.count + c.deaths + c.retirements, 1.0, 1e-15) << c.ageReached;
        }
    }
}

// Leavers of the year are deferred at its end; those present at its start
// retire at the fixed age, the leavers the year after.
TEST(DeferredYear, LeaversOfTheYearAreNotAmongItsExits) {
    DeferredYear d;
    d.terms.deferredRetirementAge = 55;
    d.deferred.count = 0.0;
    d.step(leaversOf(0.3, 400.0, 200.0, 20.0), Order::inService);
    EXPECT_EQ(d.events.deferredRetirements, 0.0);
    EXPECT_DOUBLE_EQ(d.deferred.count, 0.3);
    d.year.year = 4;
    d.year.ageReached = 61;
    d.step(noEntrants<double>(), Order::inService);
    EXPECT_DOUBLE_EQ(d.events.deferredRetirements, 0.3 * 0.95);
    EXPECT_DOUBLE_EQ(d.events.deferredDeaths, 0.3 * 0.05);
}

TEST(DeferredYear, CountsInBothOrders) {
    const double q = 0.3;
    DeferredYear service;
    service.year.memberMortality = q;
    service.step(leaversOf(0.7, 1.0, 1.0, 1.0), Order::inService);
    EXPECT_EQ(service.deferred.count, 1.0 + 0.7 - 0.3 - 0.0); // ((D0 + w) - d) - r
    DeferredYear later;
    later.year.memberMortality = q;
    later.step(noEntrants<double>(), Order::laterState);
    EXPECT_EQ(later.deferred.count, 1.0 - (0.3 + 0.0)); // D0 - (d + r)
}

TEST(DeferredYear, LeaversFromServiceBringTheirPensionsAndService) {
    DeferredYear d;
    d.year.memberMortality = 0.0;
    d.step(leaversOf(0.5, 400.0, 80.0, 15.0), Order::inService);
    EXPECT_DOUBLE_EQ(d.deferred.count, 1.5);
    EXPECT_DOUBLE_EQ(d.deferred.indexedPension, (100.0 * 1.1 + 400.0 * 0.5) / 1.5);
    EXPECT_DOUBLE_EQ(d.deferred.nonIndexedPension, (50.0 + 80.0 * 0.5) / 1.5);
    EXPECT_DOUBLE_EQ(d.deferred.serviceYears, (10.0 + 15.0 * 0.5) / 1.5);
}

TEST(DeferredYear, EmptyDefermentStillRaisesTheIndexedAmountByTheRateOfTheYear) {
    DeferredYear d;
    d.deferred.count = 0.0;
    d.step(noEntrants<double>(), Order::inService);
    EXPECT_DOUBLE_EQ(d.deferred.indexedPension, 120.0);
    EXPECT_EQ(d.deferred.nonIndexedPension, 50.0);
    EXPECT_EQ(d.deferred.serviceYears, 10.0);
}

// One life deferred at the valuation date: its pension is fixed in year 1
// and indexed at the start of each later year by the rate of the year before.
TEST(DeferredYear, OneLifeIsIndexedFromItsSecondYearOn) {
    DeferredYear d;
    d.deferred.keeping = Keeping::ownLife;
    d.year.year = 1;
    d.step(noEntrants<double>(), Order::laterState);
    EXPECT_EQ(d.deferred.indexedPension, 100.0);
    d.year.year = 2;
    d.step(noEntrants<double>(), Order::laterState);
    EXPECT_DOUBLE_EQ(d.deferred.indexedPension, 110.0);
    EXPECT_EQ(d.deferred.nonIndexedPension, 50.0);
}

TEST(DeferredYear, RetirementsBringTheFactoredPensionAndABridge) {
    DeferredYear d;
    d.events.deferredRetirements = 0.4;
    d.deferred.retirementFactor = 0.9;
    d.deferred.averageCeiling = 1000.0;
    d.deferred.serviceYears = 12.5;
    d.deferred.bridgeServiceYears = 7;
    d.terms.bridgeRate = 0.01;
    // leavers from service: a bridge only inside the bridge ages, on at most 10 years
    d.year.inBridgeWindow = false;
    CohortArrivals arrivals = deferredRetirementArrivals(d.deferred, d.events, d.terms, d.year);
    EXPECT_EQ(arrivals.number, 0.4);
    EXPECT_DOUBLE_EQ(arrivals.indexedPension, 90.0);
    EXPECT_DOUBLE_EQ(arrivals.nonIndexedPension, 45.0);
    EXPECT_EQ(arrivals.bridgePension, 0.0);
    d.year.inBridgeWindow = true;
    arrivals = deferredRetirementArrivals(d.deferred, d.events, d.terms, d.year);
    EXPECT_DOUBLE_EQ(arrivals.bridgePension, 1000.0 * 0.01 * 10.0);
    // one life deferred at the valuation date: on its own whole years, in any year
    d.deferred.keeping = Keeping::ownLife;
    d.year.inBridgeWindow = false;
    arrivals = deferredRetirementArrivals(d.deferred, d.events, d.terms, d.year);
    EXPECT_DOUBLE_EQ(arrivals.bridgePension, 1000.0 * 0.01 * 7.0);
}

TEST(DeferredYear, CohortsFormFromTheYearBeforeTheFirstRateAgeOrWhenAnyoneRetires) {
    DeferredYear d;
    d.terms.firstDeferredCohortAge = 59; // first rate age 60
    Retirees<double> retirees{};
    d.year.ageReached = 59;
    EXPECT_FALSE(formsDeferredCohort(retirees, d.events, d.terms, d.year));
    d.year.ageReached = 60;
    EXPECT_TRUE(formsDeferredCohort(retirees, d.events, d.terms, d.year));
    // below that age: retirements at a fixed age, cohorts inside their
    // guarantee, pensioners past it are all reasons to run the step
    d.year.ageReached = 50;
    d.events.deferredRetirements = 0.2;
    EXPECT_TRUE(formsDeferredCohort(retirees, d.events, d.terms, d.year));
    d.events.deferredRetirements = 0.0;
    retirees.inGuarantee = 0.2;
    EXPECT_TRUE(formsDeferredCohort(retirees, d.events, d.terms, d.year));
    retirees.inGuarantee = 0.0;
    retirees.count = 0.1;
    EXPECT_TRUE(formsDeferredCohort(retirees, d.events, d.terms, d.year));
}

} // namespace
