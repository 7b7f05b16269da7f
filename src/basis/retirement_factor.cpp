#include "basis/retirement_factor.h"

#include <algorithm>

#include "basis/basis.h"

namespace {
constexpr int kFirstAgeElement = 1;  // firstRetirementAge
constexpr int kLastAgeElement = 21;  // lastRetirementAge
constexpr int kRowLength = 22;       // service bound, then 21 factors
constexpr int64_t kFactorColumns = 21;
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
