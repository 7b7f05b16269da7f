// How much service after the valuation date each amount counts, under an
// unlimited attribution and one limited to k years, and the lanes' arithmetic.
#include "projection/service_lanes.h"

#include <gtest/gtest.h>

namespace {

constexpr ServiceAttribution kAll{false, 0.0};
constexpr ServiceAttribution kNone{true, 0.0};
constexpr ServiceAttribution kOneYear{true, 1.0};

TEST(ServiceAttribution, TheFixedAccrualCountsServiceToMidYearAtMostK) {
    EXPECT_EQ(fixedAccrualYears(3.0, 1, kAll), 3.5);
    EXPECT_EQ(fixedAccrualYears(3.0, 7, kAll), 9.5);
    EXPECT_EQ(fixedAccrualYears(3.0, 7, kNone), 3.0);
    EXPECT_EQ(fixedAccrualYears(3.0, 1, kOneYear), 3.5); // half a year completed by mid-year 1
    EXPECT_EQ(fixedAccrualYears(3.0, 2, kOneYear), 4.0);
    EXPECT_EQ(fixedAccrualYears(0.0, 40, ServiceAttribution{true, 2.5}), 2.5);
}

TEST(ServiceAttribution, BridgesCountWholeYearsInsideTheirCapAndLeaversTheYearsBeforeTheirExit) {
    EXPECT_EQ(bridgeServiceYears(4, 3, kAll), 7.0);
    EXPECT_EQ(bridgeServiceYears(4, 9, kAll), 10.0); // at most 10
    EXPECT_EQ(bridgeServiceYears(4, 9, kNone), 4.0);
    EXPECT_EQ(bridgeServiceYears(4, 9, kOneYear), 5.0);
    EXPECT_EQ(bridgeServiceYears(12, 1, kNone), 10.0);
    EXPECT_EQ(leaverServiceYears(4, 1, kAll), 4.0);
    EXPECT_EQ(leaverServiceYears(4, 6, kAll), 9.0);
    EXPECT_EQ(leaverServiceYears(4, 6, kNone), 4.0);
    EXPECT_EQ(leaverServiceYears(4, 1, kOneYear), 4.0);
    EXPECT_EQ(leaverServiceYears(4, 6, kOneYear), 5.0);
}

TEST(ServiceLanes, EachLaneIsThePlainArithmetic) {
    ServiceLanes amount;
    amount.lane[0] = 0.1;
    amount.lane[1] = 0.2;
    amount.lane[2] = 0.3;
    const ServiceLanes result = (amount * 3.0 + 0.7) / 1.1 - amount;
    for (int k = 0; k < kServiceLanes; ++k) EXPECT_EQ(result.lane[k], (amount.lane[k] * 3.0 + 0.7) / 1.1 - amount.lane[k]);
    const ServiceLanes capped = cappedAt(amount * 100.0, 15.0);
    EXPECT_EQ(capped.lane[0], 10.0);
    EXPECT_EQ(capped.lane[2], 15.0);
    const LaneAttributions lanes{{kAll, kNone, kOneYear}};
    const ServiceLanes years = byAttribution(lanes, static_cast<ServiceLanes *>(nullptr),
                                             [](const ServiceAttribution &a) { return fixedAccrualYears(1.0, 5, a); });
    EXPECT_EQ(years.lane[kProjectedLane], 5.5);
    EXPECT_EQ(years.lane[kAccruedLane], 1.0);
    EXPECT_EQ(years.lane[kOneYearLane], 2.0);
    EXPECT_EQ(byAttribution(lanes, static_cast<double *>(nullptr),
                            [](const ServiceAttribution &a) { return fixedAccrualYears(1.0, 5, a); }),
              5.5);
}

} // namespace
