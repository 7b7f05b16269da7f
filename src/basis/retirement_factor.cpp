#include "basis/retirement_factor.h"

#include <algorithm>

#include "basis/basis.h"

namespace {
constexpr int kFirstAgeElement = TALVEK_FACTORS_FIRST_AGE; // firstRetirementAge
constexpr int kLastAgeElement = TALVEK_FACTORS_LAST_AGE;   // lastRetirementAge
constexpr int kRowLength = TALVEK_FACTORS_ROW_STRIDE;      // service bound, then 21 factors
constexpr int64_t kFactorColumns = TALVEK_FACTORS_AGES;
} // namespace

double retirementFactorAt(const HostArrays &host, int32_t serviceBand, int32_t ageReached) {
    const double *factors = host.retirementFactors;
    const int64_t firstAge = truncToInt(factors[kFirstAgeElement]);
    const int64_t lastAge = truncToInt(factors[kLastAgeElement]);
    // ages below the first retirement age, or a first age above the last
    // one, have no column: no factor rather than a read beside the row
    const int64_t column = std::min<int64_t>(ageReached, lastAge) - firstAge + 1;
    if (column < 1 || column > kFactorColumns) return 0.0;
    // a service below the first bound has no row of its own and reads row 1;
    // a band above the last row (the lookup gives none) reads the last row
    const int32_t band = std::min(readableServiceBand(serviceBand), kServiceBands);
    return factors[kRowLength * band + column];
}
