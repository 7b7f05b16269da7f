#include "engine/valuation_sums.h"

#include <cstdio>
#include <cstring>

EngineValuation engineValuationOf(ValuationSums &sums, const DiscountCurve &curve, bool perMember,
                                  std::vector<TalvekMemberValues> *members) {
    EngineValuation valuation{};
    valuation.perMember = perMember;
    std::memcpy(valuation.midYearFactors, curve.midYear, sizeof valuation.midYearFactors);
    std::memcpy(valuation.timeFactors, curve.time, sizeof valuation.timeFactors);
    valuation.byStatus = &sums.byStatus[1];
    valuation.accruedCashflows = &sums.accruedCashflows[1];
    valuation.oneYearCashflows = &sums.oneYearCashflows[1];
    valuation.members = perMember ? members : nullptr;
    return valuation;
}

void sumEveryMember(ValuationSums &sums, const TalvekResults &results) {
    TalvekStatusArrays &all = sums.byStatus[0];
    std::memcpy(all.member_counts, results.member_counts, sizeof all.member_counts);
    std::memcpy(all.decrement_counts, results.decrement_counts, sizeof all.decrement_counts);
    std::memcpy(all.benefit_cashflows, results.benefit_cashflows, sizeof all.benefit_cashflows);
    sumLimitedAttributions(sums);
}

void sumLimitedAttributions(ValuationSums &sums) {
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        double accrued = 0.0;
        double oneYear = 0.0;
        for (int s = 1; s < kGroups; ++s) {
            accrued += sums.accruedCashflows[s][i];
            oneYear += sums.oneYearCashflows[s][i];
        }
        sums.accruedCashflows[0][i] = accrued;
        sums.oneYearCashflows[0][i] = oneYear;
    }
}

void valueGroups(const ValuationSums &sums, const DiscountCurve &curve, TalvekPresentValues *values) {
    for (int g = 0; g < kGroups; ++g)
        values[g] = presentValuesOf(sums.byStatus[g].benefit_cashflows, sums.accruedCashflows[g],
                                    sums.oneYearCashflows[g], curve);
}

bool curveOf(int32_t kind, const double *rates, const double *economicParameters, double shift,
             DiscountCurve &curve, char *message, size_t size) {
    int32_t year = 0;
    const char *problem = buildDiscountCurve(curve, kind, rates, shift, economicParameters, &year);
    if (problem == nullptr) return true;
    std::snprintf(message, size, "the discount curve of year %d %s", static_cast<int>(year), problem);
    return false;
}

bool checkYearlyRates(const double *rates, const char *whose, char *message, size_t size) {
    for (int i = 0; i < TALVEK_YEARLY_RATES_SIZE; ++i) {
        if (isGrowthRate(rates[i])) continue;
        const bool inflation = i < TALVEK_YEARLY_SALARY_GROWTH;
        std::snprintf(message, size, "%s: the %s rate of year %d is not a number above -1", whose,
                      inflation ? "inflation" : "salary growth", inflation ? i : i - TALVEK_YEARLY_SALARY_GROWTH);
        return false;
    }
    return true;
}
