// The run's lookups give exactly what the direct readings of the host arrays
// give, for plans as written and for host values no plan would hold.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "basis/basis_lookups.h"
#include "support/test_support.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Bit-for-bit equality, NaN included.
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void plan(TestHost &host) {
    host.retirementRates[1] = 55;
    host.retirementRates[26] = 65;
    host.withdrawalRates[1] = 20;
    host.withdrawalRates[31] = 50;
    host.disabilityRates[1] = 20;
    host.disabilityRates[46] = 65;
    host.salaryScale[1] = 20;
    host.salaryScale[46] = 65;
    for (int i = 28; i < 54; ++i) host.retirementRates[i] = 0.01 * (i - 27);
    for (int i = 33; i < 64; ++i) host.withdrawalRates[i] = 0.1 / (i - 30);
    for (int i = 48; i < 94; ++i) host.disabilityRates[i] = 0.001 * (i - 40);
    host.retirementFactors[1] = 55;
    host.retirementFactors[21] = 65;
    for (int k = 1; k <= 10; ++k) {
        host.retirementFactors[22 * k] = 5 * (k - 1);
        for (int v = 1; v <= 21; ++v) host.retirementFactors[22 * k + v] = 0.5 + 0.01 * v + k;
    }
    host.planParameters[5] = 5;
    host.economicParameters[3] = 0.02;
    host.economicParameters[19] = 50000;
    for (int t = 0; t < 222; ++t) host.yearlyRates[t] = 0.01 + 0.0001 * t;
}

void expectLookupsMatchDirectReadings(TestHost &host) {
    const HostArrays arrays = host.arrays();
    std::unique_ptr<Basis> direct = makeZeroBasis();
    buildCeilingVectors(*direct, arrays);
    buildServiceBandKeys(*direct, arrays);
    std::unique_ptr<Basis> looked = makeZeroBasis();
    buildCeilingVectors(*looked, arrays);
    buildServiceBandKeys(*looked, arrays);
    buildBasisLookups(*looked, arrays);
    ASSERT_TRUE(looked->lookupsBuilt);
    for (int32_t x = -5; x < kLookupAges + 5; ++x) {
        ASSERT_TRUE(same(retirementRateOf(*looked, arrays, x), retirementRate(arrays, x))) << x;
        ASSERT_TRUE(same(withdrawalRateOf(*looked, arrays, x), withdrawalRate(arrays, x))) << x;
        ASSERT_TRUE(same(disablementRateOf(*looked, arrays, x), disablementRate(arrays, x))) << x;
        for (int32_t band = -1; band <= kServiceBands + 1; ++band) {
            ASSERT_TRUE(same(retirementFactorOf(*looked, arrays, band, x),
                             retirementFactorAt(arrays, band, x)))
                << band << " " << x;
        }
    }
    for (int32_t s = -5; s < kLookupService + 5; ++s) {
        ASSERT_EQ(serviceBandOf(*looked, s), locateServiceBand(*direct, s)) << s;
    }
    const double averagingYears = host.planParameters[5];
    for (int32_t c = -1; c <= kPastCeilingSlots; ++c) {
        for (int32_t u = 0; u <= kProjectionSlots; ++u) {
            ASSERT_TRUE(same(ceilingAverageOf(*looked, arrays, averagingYears, c, u),
                             ceilingAverage(*direct, averagingYears, c, u)))
                << c << " " << u;
        }
    }
}

TEST(BasisLookups, APlanAsWrittenReadsTheSameFromTheTables) {
    TestHost host;
    plan(host);
    expectLookupsMatchDirectReadings(host);
}

TEST(BasisLookups, HostileValuesReadTheSameFromTheTables) {
    for (double hostile : {kNaN, kInfinity, -kInfinity, 1e300, -1e300, -7.0, 300.0, 4.5}) {
        TestHost host;
        plan(host);
        host.retirementRates[1] = hostile;
        host.withdrawalRates[31] = hostile;
        host.disabilityRates[1] = hostile;
        host.retirementFactors[21] = hostile;
        host.retirementFactors[66] = hostile;
        host.planParameters[5] = hostile;
        expectLookupsMatchDirectReadings(host);
    }
}

TEST(BasisLookups, CeilingAveragesByHandForFiveYears) {
    TestHost host;
    plan(host);
    const HostArrays arrays = host.arrays();
    std::unique_ptr<Basis> basis = makeZeroBasis();
    buildCeilingVectors(*basis, arrays);
    const Basis &b = *basis;
    // five years all projected: years 2..6 for an exit in year 7
    EXPECT_EQ(ceilingAverage(b, 5, 5, 7),
              b.salaryCeiling[6] / 5 + b.salaryCeiling[5] / 5 + b.salaryCeiling[4] / 5 +
                  b.salaryCeiling[3] / 5 + b.salaryCeiling[2] / 5);
    // year 2: two projected years and three past ones
    EXPECT_EQ(ceilingAverage(b, 5, 5, 2),
              b.salaryCeiling[1] / 5 + b.salaryCeiling[0] / 5 + b.pastSalaryCeiling[1] / 5 +
                  b.pastSalaryCeiling[2] / 5 + b.pastSalaryCeiling[3] / 5);
    // two years of past service: over 1 + 2 years only
    EXPECT_EQ(ceilingAverage(b, 5, 2, 1),
              b.salaryCeiling[0] / 3 + b.pastSalaryCeiling[1] / 3 + b.pastSalaryCeiling[2] / 3);
}

} // namespace
