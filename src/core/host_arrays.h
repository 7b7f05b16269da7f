// The host's arrays as the run reads them: one data pointer per argument.
// Element i is the i-th stored element counted from 0; the library trusts the
// host for the sizes, which the element lists of the interface document.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "talvek/engine.h"

struct HostArrays {
    const double *baseMortality;         // male q(x) at x = 1..119, female at x + 121
    const double *mortalityImprovement;  // same layout as baseMortality
    const int16_t *columnMap;            // elements 1..20: column of field code k
    const char *const *statusCodes;      // elements 1..5 select statuses 1..5
    const double *planParameters;        // elements 1..15
    const double *retirementFactors;     // 1 first age, 21 last age, rows of 22 from 22
    const double *demographicParameters; // elements 1..5
    const double *economicParameters;    // elements 3, 11, 12, 15, 16, 19
    const double *retirementRates;       // 1 first age, 26 last age, rates from 28
    const double *disabilityRates;       // 1 first age, 46 last age, rates from 48
    const double *withdrawalRates;       // 1 first age, 31 last age, rates from 33
    const double *salaryScale;           // 1 first age, 46 last age, scale at 48..93
    const double *yearlyRates;           // year t at t (first row) and t + 111 (second row)
    double *memberCounts;                // result blocks of people
    double *decrementCounts;             // result blocks of events
    double *benefitCashflows;            // result blocks of amounts
};

// Documented element counts of the by-age tables: a read past them is outside
// what the host supplies.
constexpr int kRetirementRatesSize = TALVEK_RETIREMENT_RATES_SIZE;
constexpr int kWithdrawalRatesSize = TALVEK_WITHDRAWAL_RATES_SIZE;
constexpr int kDisabilityRatesSize = TALVEK_DISABILITY_RATES_SIZE;
constexpr int kSalaryScaleSize = TALVEK_SALARY_SCALE_SIZE;

// A host double used as an age, a count or an index, truncated toward zero.
// NaN reads as 0 and values beyond the 32-bit range saturate, so that no
// conversion is undefined; every valid input is truncated exactly as (int).
inline int32_t truncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
