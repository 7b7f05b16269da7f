#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

std::unique_ptr<Basis> buildVectors(TestHost &host) {
    auto basis = makeZeroBasis();
    const HostArrays arrays = host.arrays();
    buildCeilingVectors(*basis, arrays);
    buildDiscountVectors(*basis, arrays);
    return basis;
}

} // namespace

TEST(DiscountVectors, RateSwitchesAfterYearTen) {
    TestHost host;
    host.economicParameters[11] = 0.04;
    host.economicParameters[12] = 0.03;
    auto basis = buildVectors(host);
    EXPECT_EQ(basis->discountFactor[0], 1.0);
    EXPECT_EQ(basis->discountFactor[1], 1.0 / 1.04);
    EXPECT_NEAR(basis->discountFactor[10], 1.0 / std::pow(1.04, 10), 1e-15);
    EXPECT_EQ(basis->discountFactor[11], basis->discountFactor[10] / 1.03);
    const double last = 1.0 / (std::pow(1.04, 10) * std::pow(1.03, 100));
    EXPECT_NEAR(basis->discountFactor[110], last, last * 1e-12);
}

TEST(DiscountVectors, IndexationGrowsByTheGrantedShare) {
    TestHost host;
    host.economicParameters[15] = 0.02;
    host.economicParameters[16] = 0.01;
    host.planParameters[9] = 0.5;
    auto basis = buildVectors(host);
    EXPECT_EQ(basis->indexationFactor[0], 1.0);
    EXPECT_EQ(basis->indexationFactor[1], 1.01);
    EXPECT_NEAR(basis->indexationFactor[10], std::pow(1.01, 10), 1e-13);
    EXPECT_EQ(basis->indexationFactor[11], 1.005 * basis->indexationFactor[10]);
    EXPECT_NEAR(basis->indexationFactor[110], std::pow(1.01, 10) * std::pow(1.005, 100), 1e-11);
}

TEST(DiscountVectors, NoIndexationGrantedKeepsEveryFactorAtOne) {
    TestHost host;
    host.economicParameters[15] = 0.03;
    host.economicParameters[16] = 0.025;
    host.planParameters[9] = 0.0;
    auto basis = buildVectors(host);
    for (int t = 0; t < kProjectionSlots; ++t) EXPECT_EQ(basis->indexationFactor[t], 1.0) << t;
}

TEST(CeilingVectors, PastCeilingFillsTheAveragingYears) {
    TestHost host;
    host.economicParameters[19] = 50000.0;
    host.economicParameters[3] = 0.02;
    host.planParameters[5] = 5.0;
    auto basis = buildVectors(host);
    EXPECT_EQ(basis->pastSalaryCeiling[0], 50000.0);
    for (int t = 1; t <= 5; ++t) {
        EXPECT_NEAR(basis->pastSalaryCeiling[t], 50000.0 / std::pow(1.02, t), 1e-9) << t;
    }
    for (int t = 6; t < kPastCeilingSlots; ++t) EXPECT_EQ(basis->pastSalaryCeiling[t], 0.0) << t;

    host.planParameters[5] = 4.5; // compared as a double: slots 1..4
    auto partial = buildVectors(host);
    EXPECT_GT(partial->pastSalaryCeiling[4], 0.0);
    EXPECT_EQ(partial->pastSalaryCeiling[5], 0.0);
}

TEST(CeilingVectors, PastCeilingNeverLeavesItsSlots) {
    TestHost host;
    host.economicParameters[19] = 1000.0;
    host.planParameters[5] = 1e9;
    auto basis = buildVectors(host);
    EXPECT_EQ(basis->pastSalaryCeiling[59], 1000.0);
    // The member after the vector is untouched.
    for (int k = 0; k <= kServiceBands; ++k) EXPECT_EQ(basis->serviceBandKeys[k], 0);

    host.planParameters[5] = std::numeric_limits<double>::quiet_NaN();
    auto none = buildVectors(host);
    EXPECT_EQ(none->pastSalaryCeiling[0], 1000.0);
    EXPECT_EQ(none->pastSalaryCeiling[1], 0.0);
    host.planParameters[5] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(buildVectors(host)->pastSalaryCeiling[59], 1000.0);
}

TEST(CeilingVectors, FutureCeilingGrowsByBothRowsOfTheYear) {
    TestHost host;
    host.economicParameters[19] = 40000.0;
    auto flat = buildVectors(host);
    for (int t = 0; t < kProjectionSlots; ++t) EXPECT_EQ(flat->salaryCeiling[t], 40000.0) << t;

    host.yearlyRates[0] = 9.0;   // year 0 of either row is not a growth year
    host.yearlyRates[111] = 9.0;
    host.yearlyRates[1] = 0.1;
    host.yearlyRates[112] = 0.2;
    host.yearlyRates[110] = 0.05;
    host.yearlyRates[221] = 0.01;
    auto basis = buildVectors(host);
    EXPECT_EQ(basis->salaryCeiling[1], 1.1 * 40000.0 * 1.2);
    EXPECT_EQ(basis->salaryCeiling[2], basis->salaryCeiling[1]);
    EXPECT_EQ(basis->salaryCeiling[110], 1.05 * basis->salaryCeiling[109] * 1.01);
}
