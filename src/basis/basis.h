// The actuarial basis of one run: tables built once, before the first member
// is read, and only looked up afterwards.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"

constexpr int kMortalityAges = 121;   // ages 0..120
constexpr int kProjectionSlots = 111; // years 0..110
constexpr int kPastCeilingSlots = 60; // years 0..59 before the valuation year
constexpr int kServiceBands = 10;     // retirement factor rows 1..10
constexpr int kAnnuityFirstAge = 15;  // exit ages 15..60 of the annuity table
constexpr int kAnnuityAges = 46;
constexpr int kAnnuityLastReadAge = 49; // transfer values read ages above 49 at 49

// The four columns of the deferred annuity table.
enum AnnuityVariant {
    MaleIndexed = 0,
    MaleNonIndexed = 1,
    FemaleIndexed = 2,
    FemaleNonIndexed = 3,
};

using MortalityTable = double[kMortalityAges][kProjectionSlots];

constexpr int kLookupAges = 256;   // ages 0..255 looked up in the run's tables
constexpr int kLookupService = 256; // whole years of service 0..255

struct Basis {
    MortalityTable maleMortality;   // [age][year]: one-year death probability
    MortalityTable femaleMortality;
    double discountFactor[kProjectionSlots];      // value of 1 due t years on
    double indexationFactor[kProjectionSlots];    // growth of an indexed payment over t years
    double salaryCeiling[kProjectionSlots];       // ceiling t years after the valuation year
    double pastSalaryCeiling[kPastCeilingSlots];  // ceiling t years before it
    int32_t serviceBandKeys[kServiceBands + 1];   // slot k: lower service bound of row k
    // [service band - 1][age - 15][variant]: value at the exit age of a
    // deferred pension of 1, the best over the retirement ages.
    double deferredAnnuityTable[kServiceBands][kAnnuityAges][4];

    // The host's by-age tables, factor rows and service bands looked up once
    // per run instead of once per member-year; each entry is what the direct
    // reading gives. Until they are built every reader reads the host arrays.
    bool lookupsBuilt;
    double retirementRateByAge[kLookupAges];
    double withdrawalRateByAge[kLookupAges];
    double disablementRateByAge[kLookupAges];
    int32_t serviceBandByYears[kLookupService];              // locateServiceBand
    double retirementFactorByBand[kServiceBands + 1][kLookupAges]; // [band][age reached]
    // [past service years][year U]: the ceiling averaged for an exit in year U
    double ceilingAverageByYear[kPastCeilingSlots][kProjectionSlots];
};

// Every mortality read goes through here. An age below 0 has no deaths, an age
// above 120 dies within the year, and the year index stays inside the table.
inline double mortalityRate(const MortalityTable &table, int32_t age, int32_t year) {
    if (age < 0) return 0.0;
    if (age > kMortalityAges - 1) return 1.0;
    if (year < 0) year = 0;
    if (year > kProjectionSlots - 1) year = kProjectionSlots - 1;
    return table[age][year];
}

inline const MortalityTable &memberTable(const Basis &basis, bool male) {
    return male ? basis.maleMortality : basis.femaleMortality;
}
inline const MortalityTable &spouseTable(const Basis &basis, bool male) {
    return male ? basis.femaleMortality : basis.maleMortality;
}

// Build steps, in the order a run calls them. Each fills its part of the
// basis from the host arrays; the basis must be zeroed first.
void buildMortalityTables(Basis &basis, const HostArrays &host, int16_t valuationYear,
                          int16_t mortalityBaseYear);
void buildCeilingVectors(Basis &basis, const HostArrays &host);
void buildServiceBandKeys(Basis &basis, const HostArrays &host);
void buildDiscountVectors(Basis &basis, const HostArrays &host);
void buildAnnuityTable(Basis &basis, const HostArrays &host);

// x to the whole power n by repeated squaring: power first, then the caller
// multiplies by the base rate.
double integerPower(double x, int32_t n);

// The retirement factor row (1..10) for whole years of service s, or 0 when s
// lies below every key (or the keys are not increasing).
int32_t locateServiceBand(const Basis &basis, int32_t s);

// Readers of a band treat band 0 as band 1: there is no row 0.
inline int32_t readableServiceBand(int32_t band) { return band < 1 ? 1 : band; }

// The salary ceiling averaged over the averaging years that end with year U
// - 1, reaching back before the valuation date; over only U + pastYears years
// when the past service cannot fill them. Each term is divided, then added.
double ceilingAverage(const Basis &basis, double averagingYears, int32_t pastYears, int32_t year);

// Fills the run's lookups from the host arrays and the built vectors; the
// last build step.
void buildBasisLookups(Basis &basis, const HostArrays &host);

// Where the deferred annuity table holds the value of a band and an exit age;
// false when it holds none (an age below the table).
struct AnnuityEntry {
    int32_t band;    // row: service band - 1
    int32_t age;     // exit age - 15
    int32_t variant;
};
bool deferredAnnuityEntry(int32_t serviceBand, int32_t age, AnnuityVariant variant, AnnuityEntry &entry);

// Transfer-value lookup: band as located (0 reads band 1), the age reached at
// the end of the year (ages above 49 read 49).
double deferredAnnuityValue(const Basis &basis, int32_t serviceBand, int32_t age,
                            AnnuityVariant variant);
