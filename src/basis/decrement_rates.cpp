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
    const int32_t first = truncToInt(table[1]);
    const int32_t last = truncToInt(table[26]);
    if (x < first) return 0.0;
    if (x >= last) return 1.0;
    return tableValue(table, kRetirementRatesSize, 28, int64_t{x} - first);
}

double withdrawalRate(const HostArrays &host, int32_t x) {
    const double *table = host.withdrawalRates;
    const int32_t first = truncToInt(table[1]);
    const int32_t last = truncToInt(table[31]);
    if (x < first || x >= last) return 0.0;
    return tableValue(table, kWithdrawalRatesSize, 33, int64_t{x} - first);
}

double disablementRate(const HostArrays &host, int32_t x) {
    const double *table = host.disabilityRates;
    const int32_t first = truncToInt(table[1]);
    const int32_t last = truncToInt(table[46]);
    if (x < first || x >= last) return 0.0;
    return tableValue(table, kDisabilityRatesSize, 48, int64_t{x} - first);
}

double salaryScaleAt(const HostArrays &host, int32_t z) {
    const double *scale = host.salaryScale;
    const int32_t first = truncToInt(scale[1]);
    const int32_t last = truncToInt(scale[46]);
    constexpr int kFirstValue = 48;
    constexpr int kLastValue = kSalaryScaleSize - 1;
    if (z < first) return scale[kFirstValue];
    if (z > last) return scale[kLastValue];
    const int64_t element = kFirstValue + (int64_t{z} - first);
    // a scale column longer than the table reads its last value
    if (element > kLastValue) return scale[kLastValue];
    return scale[element];
}
