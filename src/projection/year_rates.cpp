#include "projection/year_rates.h"

#include <algorithm>
#include <limits>

#include "basis/basis_lookups.h"
#include "projection/projection_year.h"

namespace {

// An age computed in 64 bits, kept inside the 32-bit range the tables take.
int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

BridgeGrowth growthOfYear(const double *rates, int32_t t) {
    BridgeGrowth growth;
    growth.inflation = 1.0 + rates[TALVEK_YEARLY_INFLATION + t];
    growth.secondRate = 1.0 + rates[TALVEK_YEARLY_SALARY_GROWTH + t];
    growth.both = growth.inflation * growth.secondRate;
    return growth;
}

} // namespace

// Mortality reads give 1 above age 120 (for the loaded age of the disabled
// too) and 0 below age 0, where a large negative loading may lead.
YearRates ratesOfYear(const MemberAges &ages, const YearNeeds &needs, const PlanTerms &terms,
                      const Basis &basis, const HostArrays &host, int32_t U) {
    const int64_t x = int64_t{ages.age} + U - 1;
    const MortalityTable &own = memberTable(basis, ages.male);
    const double *rates = host.yearlyRates;

    // every field is set: a cleared record would cost more than the year
    YearRates year;
    year.year = U;
    year.ageReached = saturate(int64_t{ages.age} + U);
    year.memberMortality = needs.member ? mortalityAt(own, x, U - 1) : 0.0;
    year.spouseMortality = needs.spouse
        ? mortalityAt(spouseTable(basis, ages.male), int64_t{ages.spouseAge} + U - 1, U - 1) : 0.0;
    year.disabledMortality = needs.disabled ? mortalityAt(own, x + terms.disabledAgeAddition, U - 1) : 0.0;
    year.retirement = needs.retirement ? retirementRateOf(basis, host, saturate(x)) : 0.0;
    year.withdrawal = needs.service ? withdrawalRateOf(basis, host, saturate(x)) : 0.0;
    year.disablement = needs.service ? disablementRateOf(basis, host, saturate(x)) : 0.0;
    year.indexation = 1.0 + rates[TALVEK_YEARLY_INFLATION + U] * terms.indexationShare;
    year.laggedIndexation = 1.0 + rates[TALVEK_YEARLY_INFLATION + U - 1] * terms.indexationShare;
    year.bridgeGrowth = needs.averagedBridges ? growthOfYear(rates, U) : BridgeGrowth{1.0, 1.0, 1.0};
    year.laggedBridgeGrowth = needs.bridges ? growthOfYear(rates, U - 1) : BridgeGrowth{1.0, 1.0, 1.0};
    year.inBridgeWindow =
        needs.bridges && insideBridgeAges(terms.bridgeStartAge, terms.bridgeEndAge, year.ageReached);
    return year;
}
