// Readers of the run's lookups: each gives exactly what reading the host
// arrays gives, from the table when the run built it and the argument lies
// inside it, and by the direct reading otherwise.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"
#include "basis/basis.h"
#include "basis/decrement_rates.h"
#include "basis/retirement_factor.h"

inline bool insideLookup(int32_t index, int32_t size) { return index >= 0 && index < size; }

inline double retirementRateOf(const Basis &basis, const HostArrays &host, int32_t x) {
    if (basis.lookupsBuilt && insideLookup(x, kLookupAges)) return basis.retirementRateByAge[x];
    return retirementRate(host, x);
}

inline double withdrawalRateOf(const Basis &basis, const HostArrays &host, int32_t x) {
    if (basis.lookupsBuilt && insideLookup(x, kLookupAges)) return basis.withdrawalRateByAge[x];
    return withdrawalRate(host, x);
}

inline double disablementRateOf(const Basis &basis, const HostArrays &host, int32_t x) {
    if (basis.lookupsBuilt && insideLookup(x, kLookupAges)) return basis.disablementRateByAge[x];
    return disablementRate(host, x);
}

inline int32_t serviceBandOf(const Basis &basis, int32_t s) {
    if (basis.lookupsBuilt && insideLookup(s, kLookupService)) return basis.serviceBandByYears[s];
    return locateServiceBand(basis, s);
}

inline double retirementFactorOf(const Basis &basis, const HostArrays &host, int32_t band,
                                 int32_t ageReached) {
    if (basis.lookupsBuilt && insideLookup(band, kServiceBands + 1) &&
        insideLookup(ageReached, kLookupAges))
        return basis.retirementFactorByBand[band][ageReached];
    return retirementFactorAt(host, band, ageReached);
}

// The table holds the run's own averaging years; any other reads directly.
inline double ceilingAverageOf(const Basis &basis, const HostArrays &host, double averagingYears,
                               int32_t pastYears, int32_t year) {
    if (basis.lookupsBuilt && averagingYears == host.planParameters[TALVEK_PLAN_AVERAGING_YEARS] &&
        insideLookup(pastYears, kPastCeilingSlots) && insideLookup(year, kProjectionSlots))
        return basis.ceilingAverageByYear[pastYears][year];
    return ceilingAverage(basis, averagingYears, pastYears, year);
}
