#include "projection/year_rates.h"

#include <algorithm>
#include <limits>

#include "basis/basis_lookups.h"
#include "projection/projection_year.h"
#include "projection/scenario_tables.h"

namespace {

// An age computed in 64 bits, kept inside the 32-bit range the tables take.
int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// A block of scenarios reads each one's factors from the block's tables.
template <class A>
void putScenarioFactors(YearRates<A> &year, const YearNeeds &needs, const ScenarioTables &tables,
                        int32_t U) {
    const BridgeGrowth<ScenarioValues> none{1.0, 1.0, 1.0};
    year.indexation = tables.indexation[U];
    year.laggedIndexation = tables.indexation[U - 1];
    year.bridgeGrowth = needs.averagedBridges ? tables.growth[U] : none;
    year.laggedBridgeGrowth = needs.bridges ? tables.growth[U - 1] : none;
}

} // namespace

BridgeGrowth<double> growthOfYear(const double *rates, int32_t t) {
    BridgeGrowth<double> growth;
    growth.inflation = 1.0 + rates[TALVEK_YEARLY_INFLATION + t];
    growth.secondRate = 1.0 + rates[TALVEK_YEARLY_SALARY_GROWTH + t];
    growth.both = growth.inflation * growth.secondRate;
    return growth;
}

double indexationOfYear(const double *rates, int32_t t, double indexationShare) {
    return 1.0 + rates[TALVEK_YEARLY_INFLATION + t] * indexationShare;
}

// Mortality reads give 1 above age 120 (for the loaded age of the disabled
// too) and 0 below age 0, where a large negative loading may lead.
template <class A>
YearRates<A> ratesOfYear(const MemberAges &ages, const YearNeeds &needs, const PlanTerms &terms,
                         const Basis &basis, const HostArrays &host, const LaneEconomics *lanes, int32_t U) {
    const int64_t x = int64_t{ages.age} + U - 1;
    const MortalityTable &own = memberTable(basis, ages.male);
    const double *rates = host.yearlyRates;

    // every field is set: a cleared record would cost more than the year
    YearRates<A> year;
    year.year = U;
    year.ageReached = saturate(int64_t{ages.age} + U);
    year.memberMortality = needs.member ? mortalityAt(own, x, U - 1) : 0.0;
    year.spouseMortality = needs.spouse
        ? mortalityAt(spouseTable(basis, ages.male), int64_t{ages.spouseAge} + U - 1, U - 1) : 0.0;
    year.disabledMortality = needs.disabled ? mortalityAt(own, x + terms.disabledAgeAddition, U - 1) : 0.0;
    year.retirement = needs.retirement ? retirementRateOf(basis, host, saturate(x)) : 0.0;
    year.withdrawal = needs.service ? withdrawalRateOf(basis, host, saturate(x)) : 0.0;
    year.disablement = needs.service ? disablementRateOf(basis, host, saturate(x)) : 0.0;
    year.inBridgeWindow =
        needs.bridges && insideBridgeAges(terms.bridgeStartAge, terms.bridgeEndAge, year.ageReached);
    if constexpr (AmountKind<A>::scenarios) {
        putScenarioFactors(year, needs, *lanes->tables, U);
    } else {
        (void)lanes;
        year.indexation = indexationOfYear(rates, U, terms.indexationShare);
        year.laggedIndexation = indexationOfYear(rates, U - 1, terms.indexationShare);
        year.bridgeGrowth = needs.averagedBridges ? growthOfYear(rates, U) : BridgeGrowth<double>{1.0, 1.0, 1.0};
        year.laggedBridgeGrowth = needs.bridges ? growthOfYear(rates, U - 1) : BridgeGrowth<double>{1.0, 1.0, 1.0};
    }
    return year;
}

#define TALVEK_YEAR_RATES(A)                                                                                \
    template YearRates<A> ratesOfYear<A>(const MemberAges &, const YearNeeds &, const PlanTerms &,          \
                                         const Basis &, const HostArrays &, const LaneEconomics *, int32_t);
TALVEK_YEAR_RATES(double)
TALVEK_YEAR_RATES(ServiceLanes)
TALVEK_YEAR_RATES(ScenarioLanes)
TALVEK_YEAR_RATES(ScenarioValues)
