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

BridgeGrowth<double> growthOfYear(const double *rates, int32_t t) {
    BridgeGrowth<double> growth;
    growth.inflation = 1.0 + rates[TALVEK_YEARLY_INFLATION + t];
    growth.secondRate = 1.0 + rates[TALVEK_YEARLY_SALARY_GROWTH + t];
    growth.both = growth.inflation * growth.secondRate;
    return growth;
}

// I(t) = 1 + first yearly rate of year t x indexationShare.
double indexationOfYear(const double *rates, int32_t t, double indexationShare) {
    return 1.0 + rates[TALVEK_YEARLY_INFLATION + t] * indexationShare;
}

// The factors of each scenario of the block, lane by lane, the same in the
// three attributions.
void putLane(ScenarioLanes &lanes, int32_t l, double value) {
    for (int k = 0; k < kServiceLanes; ++k) lanes.v[laneOf(k, l)] = value;
}

void putScenarioFactors(YearRates<ScenarioLanes> &year, const YearNeeds &needs, const PlanTerms &terms,
                        const LaneEconomics &lanes, int32_t U) {
    const BridgeGrowth<double> none{1.0, 1.0, 1.0};
    for (int32_t l = 0; l < kScenarioLanes; ++l) {
        const double *rates = lanes.host[l]->yearlyRates;
        putLane(year.indexation, l, indexationOfYear(rates, U, terms.indexationShare));
        putLane(year.laggedIndexation, l, indexationOfYear(rates, U - 1, terms.indexationShare));
        const BridgeGrowth<double> growth = needs.averagedBridges ? growthOfYear(rates, U) : none;
        const BridgeGrowth<double> lagged = needs.bridges ? growthOfYear(rates, U - 1) : none;
        putLane(year.bridgeGrowth.inflation, l, growth.inflation);
        putLane(year.bridgeGrowth.secondRate, l, growth.secondRate);
        putLane(year.bridgeGrowth.both, l, growth.both);
        putLane(year.laggedBridgeGrowth.inflation, l, lagged.inflation);
        putLane(year.laggedBridgeGrowth.secondRate, l, lagged.secondRate);
        putLane(year.laggedBridgeGrowth.both, l, lagged.both);
    }
}

} // namespace

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
        putScenarioFactors(year, needs, terms, *lanes, U);
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
