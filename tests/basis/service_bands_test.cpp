#include <cstdint>
#include <initializer_list>
#include <limits>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Keys for slots 1..10 placed in the rows of the retirement factors.
std::unique_ptr<Basis> basisWithKeys(std::initializer_list<double> keys) {
    TestHost host;
    int k = 1;
    for (double key : keys) host.retirementFactors[22 * k++] = key;
    auto basis = makeZeroBasis();
    buildServiceBandKeys(*basis, host.arrays());
    return basis;
}

} // namespace

TEST(ServiceBandKeys, BoundsAreTruncatedAndSaturated) {
    auto basis = basisWithKeys({0.0, 7.9, -3.7, std::numeric_limits<double>::quiet_NaN(), 1e12, -1e12,
                                10.0, 20.0, 30.0, 40.0});
    EXPECT_EQ(basis->serviceBandKeys[0], 0);
    EXPECT_EQ(basis->serviceBandKeys[1], 0);
    EXPECT_EQ(basis->serviceBandKeys[2], 7);
    EXPECT_EQ(basis->serviceBandKeys[3], -3);
    EXPECT_EQ(basis->serviceBandKeys[4], 0);
    EXPECT_EQ(basis->serviceBandKeys[5], std::numeric_limits<int32_t>::max());
    EXPECT_EQ(basis->serviceBandKeys[6], std::numeric_limits<int32_t>::min());
    EXPECT_EQ(basis->serviceBandKeys[10], 40);
}

TEST(LocateServiceBand, IncreasingKeys) {
    auto basis = basisWithKeys({0, 5, 10, 15, 20, 25, 30, 35, 40, 45});
    EXPECT_EQ(locateServiceBand(*basis, 0), 1);
    EXPECT_EQ(locateServiceBand(*basis, 4), 1);
    EXPECT_EQ(locateServiceBand(*basis, 5), 2);
    EXPECT_EQ(locateServiceBand(*basis, 23), 5);
    EXPECT_EQ(locateServiceBand(*basis, 44), 9);
    EXPECT_EQ(locateServiceBand(*basis, 45), 10);
    EXPECT_EQ(locateServiceBand(*basis, 200), 10);
    // Compared unsigned: a negative service reads as a very long one.
    EXPECT_EQ(locateServiceBand(*basis, -1), 10);
}

TEST(LocateServiceBand, EqualKeysGiveTheLastOfThem) {
    auto basis = basisWithKeys({0, 5, 5, 10, 15, 20, 25, 30, 35, 40});
    EXPECT_EQ(locateServiceBand(*basis, 5), 3);
    EXPECT_EQ(locateServiceBand(*basis, 4), 1);
    EXPECT_EQ(locateServiceBand(*basis, 10), 4);
}

TEST(LocateServiceBand, ServiceBelowTheFirstKeyGivesBandZero) {
    auto basis = basisWithKeys({3, 5, 10, 15, 20, 25, 30, 35, 40, 45});
    EXPECT_EQ(locateServiceBand(*basis, 2), 0);
    EXPECT_EQ(readableServiceBand(locateServiceBand(*basis, 2)), 1);
    EXPECT_EQ(locateServiceBand(*basis, 3), 1);
}

TEST(LocateServiceBand, AllKeysEqualSearchAsDecreasing) {
    auto basis = basisWithKeys({10, 10, 10, 10, 10, 10, 10, 10, 10, 10});
    EXPECT_EQ(locateServiceBand(*basis, 10), 0);
    EXPECT_EQ(locateServiceBand(*basis, 30), 0);
    EXPECT_EQ(locateServiceBand(*basis, 9), 10);
    EXPECT_EQ(locateServiceBand(*basis, 0), 10);
}

TEST(LocateServiceBand, ReadersTreatBandZeroAsBandOne) {
    EXPECT_EQ(readableServiceBand(0), 1);
    EXPECT_EQ(readableServiceBand(1), 1);
    EXPECT_EQ(readableServiceBand(7), 7);
    EXPECT_EQ(readableServiceBand(10), 10);
}
