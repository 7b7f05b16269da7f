// The retirement factor by service band and age reached.
#include <gtest/gtest.h>

#include "basis/retirement_factor.h"
#include "support/test_support.h"

namespace {

struct RetirementFactor : ::testing::Test {
    TestHost host;
    HostArrays arrays{};
    void SetUp() override {
        host.retirementFactors[1] = 55.0; // firstRetirementAge
        host.retirementFactors[21] = 65.9; // lastRetirementAge, truncated
        for (int row = 1; row <= 10; ++row)
            for (int column = 1; column <= 21; ++column)
                host.retirementFactors[22 * row + column] = row + column / 100.0;
        arrays = host.arrays();
    }
};

TEST_F(RetirementFactor, RowOfTheBandColumnOfTheAgeReached) {
    EXPECT_EQ(retirementFactorAt(arrays, 1, 55), 1.01);
    EXPECT_EQ(retirementFactorAt(arrays, 3, 60), 3.06);
    EXPECT_EQ(retirementFactorAt(arrays, 10, 65), 10.11);
}

TEST_F(RetirementFactor, AgesPastTheLastReadTheLastColumn) {
    EXPECT_EQ(retirementFactorAt(arrays, 2, 70), 2.11);
    EXPECT_EQ(retirementFactorAt(arrays, 2, 120), 2.11);
}

TEST_F(RetirementFactor, AgesBeforeTheFirstHaveNoFactor) {
    EXPECT_EQ(retirementFactorAt(arrays, 2, 54), 0.0);
    EXPECT_EQ(retirementFactorAt(arrays, 2, -2147483647 - 1), 0.0);
}

TEST_F(RetirementFactor, BandsWithoutARowReadTheNearestRow) {
    EXPECT_EQ(retirementFactorAt(arrays, 0, 56), 1.02);
    EXPECT_EQ(retirementFactorAt(arrays, 11, 56), 10.02);
}

TEST_F(RetirementFactor, ColumnsBeyondTheRowGiveNoFactor) {
    host.retirementFactors[21] = 90.0; // 36 retirement ages: more than a row holds
    arrays = host.arrays();
    EXPECT_EQ(retirementFactorAt(arrays, 1, 75), 1.21);
    EXPECT_EQ(retirementFactorAt(arrays, 1, 76), 0.0);
}

} // namespace
