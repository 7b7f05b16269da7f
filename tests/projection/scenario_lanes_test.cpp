// The lanes of a block of scenarios: each lane's arithmetic is the plain
// amount's to the bit, NaN, infinities and signed zeros included; each
// attribution takes its own lanes; the block's tables hold, lane by lane,
// each scenario's own values.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "projection/scenario_tables.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const double kAwkward[] = {0.0, -0.0, 1.5, -2.25, 1e308, -1e308, 5e-324,
                           std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           std::nan("")};

// Lanes holding the awkward values, a different one in every element.
ScenarioLanes awkwardLanes(int shift) {
    ScenarioLanes lanes;
    constexpr int kCount = sizeof kAwkward / sizeof kAwkward[0];
    for (int i = 0; i < kLaneAmounts; ++i) lanes.v[i] = kAwkward[(i * 7 + shift) % kCount];
    return lanes;
}

TEST(ScenarioLanes, EachLaneIsThePlainOperationToTheBit) {
    for (int shift = 0; shift < 10; ++shift) {
        const ScenarioLanes a = awkwardLanes(shift);
        const ScenarioLanes b = awkwardLanes(shift * 3 + 1);
        const ScenarioLanes sum = a + b, difference = a - b, product = a * b, quotient = a / b;
        const ScenarioLanes lesser = lesserOf(a, b), excess = excessOver(a, b), capped = cappedAt(a, 2.0);
        for (int i = 0; i < kLaneAmounts; ++i) {
            const double x = a.v[i], y = b.v[i];
            EXPECT_TRUE(sameBits(sum.v[i], x + y)) << i;
            EXPECT_TRUE(sameBits(difference.v[i], x - y)) << i;
            EXPECT_TRUE(sameBits(product.v[i], x * y)) << i;
            EXPECT_TRUE(sameBits(quotient.v[i], x / y)) << i;
            // the forms the plain amounts have always used
            EXPECT_TRUE(sameBits(lesser.v[i], std::min(x, y))) << x << " " << y;
            EXPECT_TRUE(sameBits(excess.v[i], std::max(x - y, 0.0))) << x << " " << y;
            EXPECT_TRUE(sameBits(capped.v[i], std::min(x, 2.0))) << x;
            EXPECT_TRUE(sameBits(lesserOf(x, y), std::min(x, y))) << x << " " << y;
            EXPECT_TRUE(sameBits(excessOver(x, y), std::max(x - y, 0.0))) << x << " " << y;
        }
    }
    // a plain number is the same in every lane
    const ScenarioLanes half(0.5);
    for (double value : half.v) EXPECT_EQ(value, 0.5);
}

TEST(ScenarioLanes, EachAttributionTakesItsOwnLanes) {
    LaneAttributions attributions{};
    attributions.lane[kProjectedLane] = ServiceAttribution{false, 0.0};
    attributions.lane[kAccruedLane] = ServiceAttribution{true, 0.0};
    attributions.lane[kOneYearLane] = ServiceAttribution{true, 1.0};
    // a scenario-dependent base, different in every lane, times the years each attribution counts
    ScenarioLanes base;
    for (int i = 0; i < kLaneAmounts; ++i) base.v[i] = 100.0 + i;
    const ScenarioLanes accrued = byAttribution(attributions, static_cast<ScenarioLanes *>(nullptr),
                                                [&](const ServiceAttribution &a) {
                                                    return base * fixedAccrualYears(10.0, 4, a);
                                                });
    for (int k = 0; k < kServiceLanes; ++k) {
        for (int l = 0; l < kScenarioLanes; ++l) {
            const double expected = base.v[laneOf(k, l)] * fixedAccrualYears(10.0, 4, attributions.lane[k]);
            EXPECT_TRUE(sameBits(accrued.v[laneOf(k, l)], expected)) << k << " " << l;
        }
    }
    // 10 + 3.5 years for all service, 10 for none, 11 for one year
    EXPECT_EQ(accrued.v[laneOf(kProjectedLane, 2)], 102.0 * 13.5);
    EXPECT_EQ(accrued.v[laneOf(kAccruedLane, 2)], 110.0 * 10.0);
    EXPECT_EQ(accrued.v[laneOf(kOneYearLane, 2)], 118.0 * 11.0);
}

// Eight scenarios whose bases and yearly rates differ in every entry.
struct EightScenarios {
    std::unique_ptr<Basis[]> bases{new Basis[kScenarioLanes]};
    std::vector<std::vector<double>> rates;
    HostArrays hosts[kScenarioLanes]{};
    LaneEconomics lanes{};

    EightScenarios() {
        for (int l = 0; l < kScenarioLanes; ++l) {
            Basis &basis = bases[l];
            std::memset(&basis, 0, sizeof basis);
            basis.lookupsBuilt = true;
            for (int t = 0; t < kProjectionSlots; ++t) basis.salaryCeiling[t] = 50000.0 + 100.0 * l + t;
            for (int p = 0; p < kPastCeilingSlots; ++p)
                for (int t = 0; t < kProjectionSlots; ++t) basis.ceilingAverageByYear[p][t] = 1000.0 * l + 10.0 * p + t;
            for (int b = 0; b < kServiceBands; ++b)
                for (int a = 0; a < kAnnuityAges; ++a)
                    for (int v = 0; v < 4; ++v) basis.deferredAnnuityTable[b][a][v] = l + 0.1 * b + 0.001 * a + v;
            rates.emplace_back(TALVEK_YEARLY_RATES_SIZE);
            for (int i = 0; i < TALVEK_YEARLY_RATES_SIZE; ++i) rates[l][i] = 0.01 + 0.001 * l + 0.00001 * i;
            hosts[l].yearlyRates = rates[l].data();
            lanes.basis[l] = &basis;
            lanes.host[l] = &hosts[l];
        }
    }
};

TEST(ScenarioTables, EachLaneHoldsItsScenariosOwnValues) {
    EightScenarios eight;
    PlanTerms terms{};
    terms.indexationShare = 0.75;
    std::unique_ptr<ScenarioTables> tables(new ScenarioTables);
    buildScenarioTables(*tables, eight.lanes, terms);
    EXPECT_TRUE(tables->ceilingAveragesBuilt);
    for (int l = 0; l < kScenarioLanes; ++l) {
        const Basis &basis = eight.bases[l];
        const double *rates = eight.rates[l].data();
        for (int k = 0; k < kServiceLanes; ++k) {
            const int at = laneOf(k, l);
            for (int t : {0, 1, 57, 110}) {
                const BridgeGrowth<double> growth = growthOfYear(rates, t);
                EXPECT_TRUE(sameBits(tables->indexation[t].v[at], indexationOfYear(rates, t, 0.75)));
                EXPECT_TRUE(sameBits(tables->growth[t].both.v[at], growth.both));
                EXPECT_TRUE(sameBits(tables->growth[t].inflation.v[at], growth.inflation));
                EXPECT_TRUE(sameBits(tables->growth[t].secondRate.v[at], growth.secondRate));
                EXPECT_EQ(tables->salaryCeiling[t].v[at], basis.salaryCeiling[t]);
                EXPECT_EQ(tables->ceilingAverage[59][t].v[at], basis.ceilingAverageByYear[59][t]);
            }
            EXPECT_EQ(tables->deferredAnnuity[9][45][3].v[at], basis.deferredAnnuityTable[9][45][3]);
            EXPECT_EQ(tables->deferredAnnuity[0][0][0].v[at], basis.deferredAnnuityTable[0][0][0]);
        }
    }
    // by hand: I(3) of scenario 2 = 1 + (0.012 + 0.00003) x 0.75
    EXPECT_DOUBLE_EQ(tables->indexation[3].v[laneOf(kOneYearLane, 2)], 1.0 + (0.012 + 0.00003) * 0.75);
}

TEST(ScenarioTables, TheAnnuityEntryIsReadAsThePlainLookupReadsIt) {
    // band 0 reads band 1, a band above 10 the last; ages above 49 read 49; below 15 none
    AnnuityEntry entry{};
    ASSERT_TRUE(deferredAnnuityEntry(0, 30, MaleNonIndexed, entry));
    EXPECT_EQ(entry.band, 0);
    EXPECT_EQ(entry.age, 15);
    EXPECT_EQ(entry.variant, MaleNonIndexed);
    ASSERT_TRUE(deferredAnnuityEntry(14, 70, FemaleIndexed, entry));
    EXPECT_EQ(entry.band, kServiceBands - 1);
    EXPECT_EQ(entry.age, kAnnuityLastReadAge - kAnnuityFirstAge);
    EXPECT_FALSE(deferredAnnuityEntry(3, 14, MaleIndexed, entry));
    EXPECT_FALSE(deferredAnnuityEntry(3, 30, static_cast<AnnuityVariant>(4), entry));
}

} // namespace
