#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Builds both tables for the given years from the test host's arrays.
std::unique_ptr<Basis> buildTables(TestHost &host, int16_t valuationYear, int16_t baseYear) {
    auto basis = makeZeroBasis();
    buildMortalityTables(*basis, host.arrays(), valuationYear, baseYear);
    return basis;
}

} // namespace

TEST(IntegerPower, SmallPowersAndTheZeroPower) {
    EXPECT_EQ(integerPower(0.0, 0), 1.0);
    EXPECT_EQ(integerPower(123.4, 0), 1.0);
    EXPECT_EQ(integerPower(0.7, 1), 0.7);
    EXPECT_EQ(integerPower(2.0, 10), 1024.0);
    EXPECT_EQ(integerPower(-2.0, 3), -8.0);
    EXPECT_EQ(integerPower(3.0, 5), 243.0);
    // Two squarings: x*x is formed and then multiplied in once.
    EXPECT_EQ(integerPower(0.98, 2), 0.98 * 0.98);
}

TEST(IntegerPower, NegativePowersAreReciprocals) {
    EXPECT_EQ(integerPower(2.0, -3), 0.125);
    EXPECT_EQ(integerPower(0.5, -4), 16.0);
    EXPECT_EQ(integerPower(4.0, -1), 0.25);
    // No special case for zero: the reciprocal of 0 is an infinity.
    EXPECT_TRUE(std::isinf(integerPower(0.0, -1)));
}

TEST(IntegerPower, ExtremeExponentsTerminate) {
    const int32_t lowest = std::numeric_limits<int32_t>::min();
    const int32_t highest = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(integerPower(1.0, lowest), 1.0);
    EXPECT_EQ(integerPower(2.0, lowest), 0.0);
    EXPECT_EQ(integerPower(0.5, highest), 0.0);
    EXPECT_EQ(integerPower(-1.0, highest), -1.0);
    EXPECT_EQ(integerPower(-1.0, lowest), 1.0);
}

TEST(MortalityTables, EqualYearsGiveTheBaseRatesInYearZero) {
    TestHost host;
    for (int x = 1; x <= 119; ++x) {
        host.baseMortality[x] = 0.001 * x;
        host.baseMortality[x + 121] = 0.0008 * x;
        host.mortalityImprovement[x] = 0.01 + 0.0001 * x;
        host.mortalityImprovement[x + 121] = 0.02;
    }
    auto basis = buildTables(host, 2011, 2011);
    for (int x = 1; x <= 119; ++x) {
        EXPECT_EQ(basis->maleMortality[x][0], host.baseMortality[x]) << "age " << x;
        EXPECT_EQ(basis->femaleMortality[x][0], host.baseMortality[x + 121]) << "age " << x;
        // Improvement lowers the later years.
        EXPECT_LT(basis->maleMortality[x][10], basis->maleMortality[x][0]);
    }
}

TEST(MortalityTables, HandComputedImprovement) {
    TestHost host;
    host.baseMortality[60] = 0.01;
    host.mortalityImprovement[60] = 0.02;
    host.baseMortality[61] = 0.02; // no improvement: the base rate every year
    auto basis = buildTables(host, 2015, 2015);
    EXPECT_DOUBLE_EQ(basis->maleMortality[60][2], 0.009604);
    EXPECT_DOUBLE_EQ(basis->maleMortality[60][1], 0.0098);
    for (int y = 0; y < kProjectionSlots; ++y) EXPECT_EQ(basis->maleMortality[61][y], 0.02);

    // An offset of 4 shifts the whole cohort of years by 4.
    auto later = buildTables(host, 2019, 2015);
    for (int y = 0; y + 4 < kProjectionSlots; ++y) {
        EXPECT_EQ(later->maleMortality[60][y], basis->maleMortality[60][y + 4]);
    }
}

TEST(MortalityTables, ValuationBeforeTheBaseYearUndoesTheImprovement) {
    TestHost host;
    host.baseMortality[70] = 0.03;
    host.mortalityImprovement[70] = 0.05;
    host.baseMortality[70 + 121] = 0.02;
    host.mortalityImprovement[70 + 121] = 0.04;
    auto basis = buildTables(host, 2006, 2011);
    for (int y = 0; y < 5; ++y) {
        const int k = 5 - y;
        EXPECT_DOUBLE_EQ(basis->maleMortality[70][y], 0.03 / std::pow(0.95, k)) << "year " << y;
        EXPECT_DOUBLE_EQ(basis->femaleMortality[70][y], 0.02 / std::pow(0.96, k)) << "year " << y;
        EXPECT_GT(basis->maleMortality[70][y], 0.03);
    }
    EXPECT_EQ(basis->maleMortality[70][5], 0.03);
    EXPECT_EQ(basis->femaleMortality[70][5], 0.02);
}

TEST(MortalityTables, FixedRowsIgnoreTheHostElementsAround) {
    // One element beyond the documented 241 so that element 241 exists too.
    std::vector<double> base(242, 0.7), improvement(242, 0.1);
    HostArrays host{};
    host.baseMortality = base.data();
    host.mortalityImprovement = improvement.data();
    auto basis = makeZeroBasis();
    buildMortalityTables(*basis, host, 2000, 2010);
    for (int y = 0; y < kProjectionSlots; ++y) {
        EXPECT_EQ(basis->maleMortality[0][y], 0.0);
        EXPECT_EQ(basis->femaleMortality[0][y], 0.0);
        EXPECT_EQ(basis->maleMortality[120][y], 1.0);
        EXPECT_EQ(basis->femaleMortality[120][y], 1.0);
    }
}

TEST(MortalityTables, FemaleRatesComeFromTheirOwnElements) {
    TestHost host;
    for (int x = 1; x <= 119; ++x) {
        host.baseMortality[x] = 0.5;
        host.baseMortality[x + 121] = 0.001 * x;
    }
    auto before = buildTables(host, 2011, 2011);
    host.baseMortality[121] = 0.9;
    host.mortalityImprovement[121] = 0.9;
    auto after = buildTables(host, 2011, 2011);
    for (int x = 0; x < kMortalityAges; ++x) {
        for (int y = 0; y < kProjectionSlots; ++y) {
            ASSERT_EQ(after->femaleMortality[x][y], before->femaleMortality[x][y]);
            ASSERT_EQ(after->maleMortality[x][y], before->maleMortality[x][y]);
        }
    }
    EXPECT_EQ(after->femaleMortality[1][0], host.baseMortality[122]);
    EXPECT_EQ(after->femaleMortality[119][0], host.baseMortality[240]);
}

TEST(MortalityTables, RatesOutsideZeroToOneAreStoredUnchanged) {
    TestHost host;
    host.baseMortality[90] = 0.9;
    host.mortalityImprovement[90] = -0.5; // worsening
    host.baseMortality[91] = -0.1;
    auto basis = buildTables(host, 2011, 2011);
    EXPECT_DOUBLE_EQ(basis->maleMortality[90][1], 1.35);
    EXPECT_EQ(basis->maleMortality[91][3], -0.1);
}

TEST(MortalityTables, ExtremeYearsStayFinite) {
    TestHost host;
    host.baseMortality[50] = 0.004;
    host.mortalityImprovement[50] = 0.02;
    auto basis = buildTables(host, 32767, -32768);
    EXPECT_EQ(basis->maleMortality[50][110], 0.0); // 0.98^65645 underflows
    auto reversed = buildTables(host, -32768, 32767);
    EXPECT_TRUE(std::isinf(reversed->maleMortality[50][0]));
}

TEST(MortalityRate, ReadsOutsideTheTableAreBounded) {
    TestHost host;
    for (int x = 1; x <= 119; ++x) host.baseMortality[x] = 0.01;
    host.mortalityImprovement[40] = 0.1;
    auto basis = buildTables(host, 2011, 2011);
    EXPECT_EQ(mortalityRate(basis->maleMortality, -3, 0), 0.0);
    EXPECT_EQ(mortalityRate(basis->maleMortality, 121, 0), 1.0);
    EXPECT_EQ(mortalityRate(basis->maleMortality, 40, 500), basis->maleMortality[40][110]);
    EXPECT_EQ(mortalityRate(basis->maleMortality, 40, -1), basis->maleMortality[40][0]);
}
