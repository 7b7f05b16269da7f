// The year step of surviving spouses on hand-computed cases: the count in
// both orders, the amounts averaged over new spouses, kept for one life, or
// shared with one disabled pensioner, the year's payment and where it goes.
#include <gtest/gtest.h>

#include "projection/population_steps.h"
#include "projection/result_layout.h"
#include "support/test_support.h"

namespace {

struct SurvivorYear {
    TestHost host;
    HostArrays arrays = host.arrays();
    Results results{arrays.memberCounts, arrays.decrementCounts, arrays.benefitCashflows};
    PlanTerms terms{};
    YearRates<double> year{};
    Survivors<double> survivors{};

    SurvivorYear(SurvivorKind kind) {
        terms.spouseFraction = 0.6;
        year.year = 5;
        year.memberMortality = 0.3;
        year.spouseMortality = 0.1;
        year.indexation = 1.2;
        year.laggedIndexation = 1.1;
        survivors.kind = kind;
        survivors.male = false; // widows of men
        survivors.people = kind == SurvivorKind::ofRetirees ? People::serviceSurvivors : People::disabledSurvivors;
        survivors.deaths =
            kind == SurvivorKind::ofRetirees ? Event::serviceSurvivorDeaths : Event::disabledSurvivorDeaths;
        survivors.payment =
            kind == SurvivorKind::ofRetirees ? Payment::serviceSpousePension : Payment::disabledSpousePension;
        survivors.count = 1.0;
        survivors.pension.indexed = 100.0;
        survivors.pension.nonIndexed = 40.0;
    }
    void step(const SurvivorEntrants<double> &entrants, Order order) {
        stepSurvivors(survivors, entrants, terms, year, order, results);
    }
    double members(int block) const { return host.memberCounts[block + year.year]; }
    double events(int block) const { return host.decrementCounts[block + year.year]; }
    double paid(int block) const { return host.benefitCashflows[block + year.year]; }
};

SurvivorEntrants<double> newSpouses(double ofDeaths, double ofGuarantee) {
    SurvivorEntrants<double> entrants = noSurvivorEntrants<double>();
    entrants.any = true;
    entrants.ofDeaths = NewSurvivors<double>{ofDeaths, 1.0, ofDeaths, 0.0, 0.0};
    entrants.ofGuaranteeToo = true;
    entrants.ofGuarantee = NewSurvivors<double>{ofGuarantee / 0.5, 0.5, ofGuarantee, 0.0, 0.0};
    return entrants;
}

// With nobody new, the kept spouses' amounts are indexed: those of old-age
// pensioners by the rate of year U - 1, those of the disabled by that of year U.
TEST(SurvivorYear, KeptSpousesIndexByTheYearOfTheirPensioners) {
    SurvivorYear retirees(SurvivorKind::ofRetirees);
    retirees.step(newSpouses(0.0, 0.0), Order::inService);
    EXPECT_DOUBLE_EQ(retirees.survivors.count, 0.9);
    EXPECT_DOUBLE_EQ(retirees.events(decrements::kServiceSurvivorDeaths), 0.1);
    EXPECT_DOUBLE_EQ(retirees.survivors.pension.indexed, 110.0);
    EXPECT_EQ(retirees.survivors.pension.nonIndexed, 40.0);
    EXPECT_NEAR(retirees.paid(cashflows::kServiceSpousePensionFemale), 0.5 * 140.0 + 0.5 * 0.9 * 150.0, 1e-12);
    EXPECT_EQ(retirees.paid(cashflows::kServiceSpousePensionMale), 0.0);

    SurvivorYear disabled(SurvivorKind::ofDisabled);
    SurvivorEntrants<double> none = noSurvivorEntrants<double>();
    none.any = true;
    disabled.step(none, Order::inService);
    EXPECT_DOUBLE_EQ(disabled.survivors.pension.indexed, 120.0);
    EXPECT_NEAR(disabled.paid(cashflows::kDisabledSpousePensionFemale), 0.5 * 140.0 + 0.5 * 0.9 * 160.0, 1e-12);
}

// S1 = S0 + spouses of deaths + spouses of the guarantee - deaths, in both orders.
TEST(SurvivorYear, NewSpousesJoinAndAreAveraged) {
    for (Order order : {Order::inService, Order::laterState}) {
        SurvivorYear s(SurvivorKind::ofRetirees);
        SurvivorEntrants<double> entrants = newSpouses(0.2, 0.3);
        entrants.ofDeaths.indexed = 300.0; // per head of the pensioners, of which f = 0.6
        entrants.ofDeaths.nonIndexed = 30.0;
        entrants.ofGuarantee.indexed = 500.0;
        s.step(entrants, order);
        EXPECT_NEAR(s.survivors.count, 1.0 + 0.2 + 0.3 - 0.1, 1e-15);
        EXPECT_NEAR(s.survivors.pension.indexed, (100.0 * 1.1 * 0.9 + 0.2 * 180.0 + 0.3 * 300.0) / 1.4, 1e-12);
        EXPECT_NEAR(s.survivors.pension.nonIndexed, (40.0 * 0.9 + 0.2 * 18.0) / 1.4, 1e-12);
        EXPECT_NEAR(s.members(members::kServiceSurvivorsFemale), 1.4, 1e-15);
    }
}

// The spouses of this year's disabled deaths, alive with s, take f of the
// disability pension as updated this year.
TEST(SurvivorYear, SpousesOfDisabledDeathsTakeTheirShareOfTheDisabilityPension) {
    SurvivorYear s(SurvivorKind::ofDisabled);
    s.survivors.count = 0.0;
    s.survivors.male = true; // a woman's widower
    Disabled<double> disabled{};
    disabled.spouseSurvival = 0.9;
    disabled.pension.indexed = 1000.0;
    disabled.pension.nonIndexed = 500.0;
    YearEvents events{};
    events.disabledDeaths = 0.2;
    s.step(disabledSurvivorEntrants(disabled, events), Order::inService);
    EXPECT_DOUBLE_EQ(s.survivors.count, 0.18);
    EXPECT_DOUBLE_EQ(s.survivors.pension.indexed, 600.0);
    EXPECT_DOUBLE_EQ(s.survivors.pension.nonIndexed, 300.0);
    EXPECT_NEAR(s.paid(cashflows::kDisabledSpousePensionMale), 0.5 * 0.18 * 900.0, 1e-12);
}

// One disabled life's spouse is paid f of the pensioner's own amounts, and
// nothing in a year that ends with no spouse.
TEST(SurvivorYear, OneDisabledLifesSpouseSharesItsPension) {
    SurvivorYear s(SurvivorKind::ofDisabled);
    s.survivors.shareOfPensioner = true;
    s.survivors.keeping = Keeping::ownLife;
    Disabled<double> disabled{};
    disabled.spouseSurvival = 1.0;
    disabled.pension = PensionAmounts<double>{1200.0, 500.0, 1000.0, 500.0}; // indexed this year from 1000
    YearEvents events{};
    events.disabledDeaths = 0.5;
    s.step(disabledSurvivorEntrants(disabled, events), Order::laterState);
    EXPECT_DOUBLE_EQ(s.survivors.count, 0.5 - 0.1 + 1.0);
    EXPECT_NEAR(s.paid(cashflows::kDisabledSpousePensionFemale),
                (0.5 * 1.0 * 1500.0 + 0.5 * 1.4 * 1700.0) * 0.6, 1e-9);

    SurvivorYear none(SurvivorKind::ofDisabled);
    none.survivors.shareOfPensioner = true;
    none.year.spouseMortality = 1.0; // the spouse dies, nobody new
    events.disabledDeaths = 0.0;
    none.step(disabledSurvivorEntrants(disabled, events), Order::laterState);
    EXPECT_EQ(none.survivors.count, 0.0);
    EXPECT_EQ(none.paid(cashflows::kDisabledSpousePensionFemale), 0.0);
}

// A spouse in payment at the valuation date: its own mortality, its pension
// indexed by the rate of year U, its deaths with the disabled's spouses'.
TEST(SurvivorYear, SpouseInPaymentDiesAtItsOwnMortality) {
    SurvivorYear s(SurvivorKind::ofRetirees);
    s.survivors.survivorIsMember = true;
    s.survivors.indexedWithYearRate = true;
    s.survivors.keeping = Keeping::ownLife;
    s.survivors.male = true;
    s.survivors.deaths = Event::disabledSurvivorDeaths;
    s.step(noSurvivorEntrants<double>(), Order::laterState);
    EXPECT_DOUBLE_EQ(s.survivors.count, 0.7);
    EXPECT_DOUBLE_EQ(s.events(decrements::kDisabledSurvivorDeaths), 0.3);
    EXPECT_EQ(s.events(decrements::kServiceSurvivorDeaths), 0.0);
    EXPECT_DOUBLE_EQ(s.survivors.pension.indexed, 120.0);
    EXPECT_NEAR(s.paid(cashflows::kServiceSpousePensionMale), 0.5 * 140.0 + 0.5 * 0.7 * 160.0, 1e-12);
}

// The spouse of one pensioner past its guarantee shares f of its bridge,
// inside the bridge ages only.
TEST(SurvivorYear, OnePensionersSpouseSharesItsBridgeInsideTheAges) {
    for (bool inside : {false, true}) {
        SurvivorYear s(SurvivorKind::ofRetirees);
        s.survivors.keeping = Keeping::ownLife;
        s.year.inBridgeWindow = inside;
        SurvivorEntrants<double> entrants = noSurvivorEntrants<double>();
        entrants.any = true;
        entrants.ofDeaths.number = 0.1;
        entrants.sharesBridge = true;
        entrants.bridgeAtStart = 50.0;
        entrants.bridge = 55.0;
        s.step(entrants, Order::laterState);
        EXPECT_NEAR(s.host.benefitCashflows[cashflows::kBridgePensionFemale + 5],
                    inside ? (0.5 * 50.0 + 0.5 * 1.0 * 55.0) * 0.6 : 0.0, 1e-12);
    }
}

} // namespace
