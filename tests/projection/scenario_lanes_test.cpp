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

#include "projection/results_writer.h"
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
ScenarioValues awkwardValues(int shift) {
    ScenarioValues values;
    constexpr int kCount = sizeof kAwkward / sizeof kAwkward[0];
    for (int l = 0; l < kScenarioLanes; ++l) values.v[l] = kAwkward[(l * 3 + shift) % kCount];
    return values;
}

TEST(ScenarioLanes, EachLaneIsThePlainOperationToTheBit) {
    for (int shift = 0; shift < 10; ++shift) {
        const ScenarioLanes a = awkwardLanes(shift);
        const ScenarioLanes b = awkwardLanes(shift * 3 + 1);
        const ScenarioValues x = awkwardValues(shift);
        const ScenarioLanes sum = a + b, difference = a - b, product = a * b, quotient = a / b;
        const ScenarioLanes capped = cappedAt(a, 2.0);
        // a scenario's value meets each of its attributions' lanes
        const ScenarioLanes mixedSum = x + a, mixedProduct = a * x, mixedQuotient = x / a;
        for (int i = 0; i < kLaneAmounts; ++i) {
            const double p = a.v[i], q = b.v[i], r = x.v[i % kScenarioLanes];
            EXPECT_TRUE(sameBits(sum.v[i], p + q)) << i;
            EXPECT_TRUE(sameBits(difference.v[i], p - q)) << i;
            EXPECT_TRUE(sameBits(product.v[i], p * q)) << i;
            EXPECT_TRUE(sameBits(quotient.v[i], p / q)) << i;
            EXPECT_TRUE(sameBits(capped.v[i], std::min(p, 2.0))) << p;
            EXPECT_TRUE(sameBits(mixedSum.v[i], r + p)) << i;
            EXPECT_TRUE(sameBits(mixedProduct.v[i], p * r)) << i;
            EXPECT_TRUE(sameBits(mixedQuotient.v[i], r / p)) << i;
        }
        const ScenarioValues y = awkwardValues(shift * 5 + 2);
        const ScenarioValues lesser = lesserOf(x, y), excess = excessOver(x, y), scaled = 0.5 * x - 1.0;
        for (int l = 0; l < kScenarioLanes; ++l) {
            const double p = x.v[l], q = y.v[l];
            // the forms the plain amounts have always used
            EXPECT_TRUE(sameBits(lesser.v[l], std::min(p, q))) << p << " " << q;
            EXPECT_TRUE(sameBits(excess.v[l], std::max(p - q, 0.0))) << p << " " << q;
            EXPECT_TRUE(sameBits(scaled.v[l], 0.5 * p - 1.0)) << p;
            EXPECT_TRUE(sameBits(lesserOf(p, q), std::min(p, q))) << p << " " << q;
            EXPECT_TRUE(sameBits(excessOver(p, q), std::max(p - q, 0.0))) << p << " " << q;
        }
        // a scenario's value is the same in its three attributions
        const ScenarioLanes spread(x);
        for (int k = 0; k < kServiceLanes; ++k)
            for (int l = 0; l < kScenarioLanes; ++l) EXPECT_TRUE(sameBits(spread.v[laneOf(k, l)], x.v[l]));
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
    // a scenario-dependent base, different in every scenario, times the years each attribution counts
    ScenarioValues base;
    for (int l = 0; l < kScenarioLanes; ++l) base.v[l] = 100.0 + l;
    const ScenarioLanes accrued = byAttribution(attributions, static_cast<ScenarioLanes *>(nullptr),
                                                [&](const ServiceAttribution &a) {
                                                    return base * fixedAccrualYears(10.0, 4, a);
                                                });
    for (int k = 0; k < kServiceLanes; ++k) {
        for (int l = 0; l < kScenarioLanes; ++l) {
            const double expected = base.v[l] * fixedAccrualYears(10.0, 4, attributions.lane[k]);
            EXPECT_TRUE(sameBits(accrued.v[laneOf(k, l)], expected)) << k << " " << l;
        }
    }
    // 10 + 3.5 years for all service, 10 for none, 11 for one year
    EXPECT_EQ(accrued.v[laneOf(kProjectedLane, 2)], 102.0 * 13.5);
    EXPECT_EQ(accrued.v[laneOf(kAccruedLane, 2)], 102.0 * 10.0);
    EXPECT_EQ(accrued.v[laneOf(kOneYearLane, 2)], 102.0 * 11.0);
}

// A member out of service carries one lane per scenario; its amounts go
// into the sums of a block exactly as the same amounts spread over the three
// attributions would: the two sinks are compared to the bit after the same
// awkward amounts (signed zeros, infinities, NaN) were added into each.
TEST(ScenarioLanes, AnAmountOutOfServiceAddsAsItsThreeEqualAttributions) {
    std::vector<double> totalOne(TALVEK_BENEFIT_CASHFLOWS_SIZE * kScenarioLanes, 0.0);
    std::vector<double> statusOne(TALVEK_BENEFIT_CASHFLOWS_SIZE * kLaneAmounts, 0.0);
    std::vector<double> totalThree = totalOne, statusThree = statusOne;
    const ScenarioSinks one{totalOne.data(), statusOne.data()};
    const ScenarioSinks three{totalThree.data(), statusThree.data()};
    Results intoOne{nullptr, nullptr, nullptr, nullptr, &one};
    Results intoThree{nullptr, nullptr, nullptr, nullptr, &three};
    for (int shift = 0; shift < 10; ++shift) {
        const ScenarioValues amount = awkwardValues(shift);
        const bool male = shift % 2 == 0;
        const int32_t year = 3 + shift % 4;
        addPayment(intoOne, Payment::servicePension, male, year, amount);
        addPayment(intoThree, Payment::servicePension, male, year, ScenarioLanes(amount));
        // a plain amount of no scenario
        addPayment(intoOne, Payment::lumpSum, male, year, amount.v[shift % kScenarioLanes]);
        addPayment(intoThree, Payment::lumpSum, male, year, ScenarioLanes(amount.v[shift % kScenarioLanes]));
    }
    EXPECT_EQ(std::memcmp(totalOne.data(), totalThree.data(), totalOne.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(statusOne.data(), statusThree.data(), statusOne.size() * sizeof(double)), 0);
    // and the amounts did arrive: year 3 of the men's service pensions, shift 0's amount
    const int element = paymentElement(Payment::servicePension, true, 3);
    EXPECT_TRUE(sameBits(statusOne[element * kLaneAmounts + laneOf(kOneYearLane, 1)],
                         totalOne[element * kScenarioLanes + 1]));
    EXPECT_FALSE(sameBits(totalOne[element * kScenarioLanes + 2], 0.0));

    // the cap of amounts out of service is std::min's, lane by lane
    for (int shift = 0; shift < 10; ++shift) {
        const ScenarioValues x = awkwardValues(shift);
        const ScenarioValues capped = cappedAt(x, 10.0);
        for (int l = 0; l < kScenarioLanes; ++l) EXPECT_TRUE(sameBits(capped.v[l], std::min(x.v[l], 10.0))) << l;
    }
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
        {
            const int at = l;
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
    EXPECT_DOUBLE_EQ(tables->indexation[3].v[2], 1.0 + (0.012 + 0.00003) * 0.75);
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
