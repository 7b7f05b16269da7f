// The small vectors of the economic basis: the salary ceiling carried forward
// and back from the valuation year, and the discount and indexation factors.
#include "basis/basis.h"

namespace {

// Elements of the host's economic and plan parameters read here.
constexpr int kPastSalaryRate = TALVEK_ECONOMIC_CARRY_BACK_RATE;  // ceiling carried back by this rate
constexpr int kEarlyDiscountRate = TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10;
constexpr int kLateDiscountRate = TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110;
constexpr int kEarlyIndexationRate = TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10;
constexpr int kLateIndexationRate = TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110;
constexpr int kValuationCeiling = TALVEK_ECONOMIC_SALARY_CEILING; // in the valuation year
constexpr int kAveragingYears = TALVEK_PLAN_AVERAGING_YEARS;      // past years of the ceiling
constexpr int kIndexationShare = TALVEK_PLAN_INDEXATION_SHARE;    // share of inflation granted
constexpr int kSecondRowOffset = TALVEK_YEARLY_SALARY_GROWTH;     // second row of year t at t + 111
constexpr int kLastEarlyYear = 10;        // the first rates apply to years 1..10

} // namespace

void buildCeilingVectors(Basis &basis, const HostArrays &host) {
    const double *economic = host.economicParameters;
    const double averagingYears = host.planParameters[kAveragingYears];

    // Past years: as many as the averaging period asks, compared as a double
    // (4.5 fills 4 years), but never beyond the last slot whatever the host
    // gives; a NaN period fills none.
    basis.pastSalaryCeiling[0] = economic[kValuationCeiling];
    for (int t = 1; t < kPastCeilingSlots && static_cast<double>(t) <= averagingYears; ++t) {
        basis.pastSalaryCeiling[t] = basis.pastSalaryCeiling[t - 1] / (1.0 + economic[kPastSalaryRate]);
    }

    // Projection years grow by both yearly rates of the year.
    const double *yearly = host.yearlyRates;
    basis.salaryCeiling[0] = economic[kValuationCeiling];
    for (int t = 1; t < kProjectionSlots; ++t) {
        basis.salaryCeiling[t] =
            (1.0 + yearly[t]) * basis.salaryCeiling[t - 1] * (1.0 + yearly[t + kSecondRowOffset]);
    }
}

void buildDiscountVectors(Basis &basis, const HostArrays &host) {
    const double *economic = host.economicParameters;
    const double indexationShare = host.planParameters[kIndexationShare];
    const double earlyGrowth = economic[kEarlyIndexationRate] * indexationShare + 1.0;
    const double lateGrowth = economic[kLateIndexationRate] * indexationShare + 1.0;

    basis.discountFactor[0] = 1.0;
    basis.indexationFactor[0] = 1.0;
    for (int t = 1; t < kProjectionSlots; ++t) {
        const bool early = t <= kLastEarlyYear;
        const double discountRate = early ? economic[kEarlyDiscountRate] : economic[kLateDiscountRate];
        const double growth = early ? earlyGrowth : lateGrowth;
        basis.discountFactor[t] = basis.discountFactor[t - 1] / (1.0 + discountRate);
        basis.indexationFactor[t] = growth * basis.indexationFactor[t - 1];
    }
}
