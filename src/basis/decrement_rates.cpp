#include "basis/decrement_rates.h"

namespace {

// Element firstValue + (x - firstAge) of a table of `size` elements; a read
// beyond the table's documented column reads 0 rather than the next array.
double tableValue(const double *table, int size, int firstValue, int64_t offset) {
    const int64_t element = firstValue + offset;
    if (element < firstValue || element >= size) return 0.0;
    return table[element];
}

} // namespace

double retirementRate(const HostArrays &host, int32_t x) {
    const double *table = host.retirementRates;
    const int32_t first = truncToInt(table[TALVEK_RATES_FIRST_AGE]);
    const int32_t last = truncToInt(table[TALVEK_RETIREMENT_RATES_LAST_AGE]);
    if (x < first) return 0.0;
    if (x >= last) return 1.0;
    return tableValue(table, kRetirementRatesSize, TALVEK_RETIREMENT_RATES_FIRST_VALUE, int64_t{x} - first);
}

double withdrawalRate(const HostArrays &host, int32_t x) {
    const double *table = host.withdrawalRates;
    const int32_t first = truncToInt(table[TALVEK_RATES_FIRST_AGE]);
    const int32_t last = truncToInt(table[TALVEK_WITHDRAWAL_RATES_LAST_AGE]);
    if (x < first || x >= last) return 0.0;
    return tableValue(table, kWithdrawalRatesSize, TALVEK_WITHDRAWAL_RATES_FIRST_VALUE, int64_t{x} - first);
}

double disablementRate(const HostArrays &host, int32_t x) {
    const double *table = host.disabilityRates;
    const int32_t first = truncToInt(table[TALVEK_RATES_FIRST_AGE]);
    const int32_t last = truncToInt(table[TALVEK_DISABILITY_RATES_LAST_AGE]);
    if (x < first || x >= last) return 0.0;
    return tableValue(table, kDisabilityRatesSize, TALVEK_DISABILITY_RATES_FIRST_VALUE, int64_t{x} - first);
}

double salaryScaleAt(const HostArrays &host, int32_t z) {
    const double *scale = host.salaryScale;
    const int32_t first = truncToInt(scale[TALVEK_RATES_FIRST_AGE]);
    const int32_t last = truncToInt(scale[TALVEK_SALARY_SCALE_LAST_AGE]);
    constexpr int kFirstValue = TALVEK_SALARY_SCALE_FIRST_VALUE;
    constexpr int kLastValue = TALVEK_SALARY_SCALE_LAST_VALUE;
    if (z < first) return scale[kFirstValue];
    if (z > last) return scale[kLastValue];
    const int64_t element = kFirstValue + (int64_t{z} - first);
    // a scale column longer than the table reads its last value
    if (element > kLastValue) return scale[kLastValue];
    return scale[element];
}
