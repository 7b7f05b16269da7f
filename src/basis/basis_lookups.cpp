// The run's lookup tables: what the valuations would otherwise read from the
// host arrays, or work out, once in every member-year.
#include "basis/basis_lookups.h"

double ceilingAverage(const Basis &basis, double averagingYears, int32_t pastYears, int32_t year) {
    const double u = static_cast<double>(year);
    const double covered = static_cast<double>(int64_t{year} + pastYears);
    double average = 0.0;
    // The bounds compare as reals, so a NaN bound makes no step; the past
    // ceilings exist for 59 years back and the projected ones for year 110.
    if (u >= averagingYears) {
        for (int32_t t = year - 1; t >= 0 && static_cast<double>(t) >= u - averagingYears; --t) {
            if (t < kProjectionSlots) average += basis.salaryCeiling[t] / averagingYears;
        }
    } else if (covered >= averagingYears) {
        for (int32_t t = year - 1; t >= 0; --t) {
            if (t < kProjectionSlots) average += basis.salaryCeiling[t] / averagingYears;
        }
        for (int32_t t = 1; t < kPastCeilingSlots && static_cast<double>(t) <= averagingYears - u; ++t) {
            average += basis.pastSalaryCeiling[t] / averagingYears;
        }
    } else {
        for (int32_t t = year - 1; t >= 0; --t) {
            if (t < kProjectionSlots) average += basis.salaryCeiling[t] / covered;
        }
        for (int32_t t = 1; t < kPastCeilingSlots && t <= pastYears; ++t) {
            average += basis.pastSalaryCeiling[t] / covered;
        }
    }
    return average;
}

void buildBasisLookups(Basis &basis, const HostArrays &host) {
    for (int32_t age = 0; age < kLookupAges; ++age) {
        basis.retirementRateByAge[age] = retirementRate(host, age);
        basis.withdrawalRateByAge[age] = withdrawalRate(host, age);
        basis.disablementRateByAge[age] = disablementRate(host, age);
    }
    for (int32_t s = 0; s < kLookupService; ++s) {
        basis.serviceBandByYears[s] = locateServiceBand(basis, s);
    }
    for (int32_t band = 0; band <= kServiceBands; ++band) {
        for (int32_t age = 0; age < kLookupAges; ++age) {
            basis.retirementFactorByBand[band][age] = retirementFactorAt(host, band, age);
        }
    }
    const double averagingYears = host.planParameters[TALVEK_PLAN_AVERAGING_YEARS];
    for (int32_t pastYears = 0; pastYears < kPastCeilingSlots; ++pastYears) {
        for (int32_t year = 0; year < kProjectionSlots; ++year) {
            basis.ceilingAverageByYear[pastYears][year] =
                ceilingAverage(basis, averagingYears, pastYears, year);
        }
    }
    basis.lookupsBuilt = true;
}
