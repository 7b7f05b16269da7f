#include "engine/present_values.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kFirstLongYear = 11; // the basis's second discount rate applies from year 11

// The first block of benefits: blocks 1 and 2 are contributions, 3..18 every
// pension, bridge and lump sum.
constexpr int kFirstBenefitBlock = TALVEK_CASHFLOWS_SERVICE_PENSION_MALE;

// The rate of year t of the basis: economic_parameters 11 for years 1..10, 12 after.
double basisRate(const double *economic, int32_t t) {
    return t < kFirstLongYear ? economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10]
                              : economic[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110];
}

// Present value and time-weighted present value of one block:
//   PV = sum over t = 1..110 of CF(t) v(t - 0.5), in year order;
//   T  = sum of CF(t) (t - 0.5) v(t - 0.5).
struct BlockValue {
    double value;
    double time;
};

BlockValue blockValue(const double *cashflows, int block, const DiscountCurve &curve) {
    BlockValue sum{0.0, 0.0};
    const double *flows = cashflows + TALVEK_ELEMENT(block, 0);
    for (int32_t t = 1; t < TALVEK_YEAR_SLOTS; ++t) {
        sum.value += flows[t] * curve.midYear[t];
        sum.time += flows[t] * curve.time[t];
    }
    return sum;
}

// Benefits of blocks 3..18 added in block order.
BlockValue benefitsValue(const double *cashflows, const DiscountCurve &curve) {
    BlockValue sum{0.0, 0.0};
    for (int block = kFirstBenefitBlock; block < TALVEK_CASHFLOW_BLOCKS; ++block) {
        const BlockValue one = blockValue(cashflows, block, curve);
        sum.value += one.value;
        sum.time += one.time;
    }
    return sum;
}

// Macaulay duration: T / PV, 0 for a present value of 0.
double durationOf(const BlockValue &sum) { return sum.value != 0.0 ? sum.time / sum.value : 0.0; }

} // namespace

const char *buildDiscountCurve(DiscountCurve &curve, int32_t kind, const double *rates, double shift,
                               const double *economicParameters, int32_t *year) {
    std::memset(&curve, 0, sizeof curve);
    curve.factors[0] = 1.0;
    for (int32_t t = 1; t < TALVEK_CURVE_SIZE; ++t) {
        *year = t;
        if (kind == TALVEK_CURVE_SPOT_RATES) {
            // v(t) = (1 + s(t))^-t for the annual spot rate s(t) of term t
            curve.factors[t] = 1.0 / std::pow(1.0 + (rates[t] + shift), static_cast<double>(t));
        } else {
            // v(t) = v(t - 1) / (1 + f(t)) for the forward rate f(t) of year t
            const double rate = kind == TALVEK_CURVE_FORWARD_RATES ? rates[t] : basisRate(economicParameters, t);
            curve.factors[t] = curve.factors[t - 1] / (1.0 + (rate + shift));
        }
        // a rate of -100 % or below, or one that is not a number, discounts nothing sensibly
        if (!(curve.factors[t] > 0.0) || !std::isfinite(curve.factors[t]))
            return "gives a discount factor that is not a positive number (a rate of -100 % or less, or not a number)";
        curve.midYear[t] = curve.factors[t - 1] * std::sqrt(curve.factors[t] / curve.factors[t - 1]);
        curve.time[t] = (t - 0.5) * curve.midYear[t];
    }
    *year = 0;
    return nullptr;
}

TalvekPresentValues presentValuesOf(const double *cashflows, const double *accruedCashflows,
                                    const double *oneYearCashflows, const DiscountCurve &curve) {
    TalvekPresentValues values;
    std::memset(&values, 0, sizeof values);
    for (int block = 1; block < TALVEK_CASHFLOW_BLOCKS; ++block)
        values.cashflows[block] = blockValue(cashflows, block, curve).value;

    const BlockValue benefits = benefitsValue(cashflows, curve);
    BlockValue contributions = blockValue(cashflows, TALVEK_CASHFLOWS_CONTRIBUTIONS_MALE, curve);
    const BlockValue female = blockValue(cashflows, TALVEK_CASHFLOWS_CONTRIBUTIONS_FEMALE, curve);
    contributions.value += female.value;
    contributions.time += female.time;
    const BlockValue obligation = benefitsValue(accruedCashflows, curve);
    const BlockValue oneYear = benefitsValue(oneYearCashflows, curve);

    values.benefits = benefits.value;
    values.contributions = contributions.value;
    values.obligation = obligation.value;
    // service cost = PV with one year of service after the valuation date - DBO
    values.service_cost = oneYear.value - obligation.value;
    values.benefits_duration = durationOf(benefits);
    values.contributions_duration = durationOf(contributions);
    values.obligation_duration = durationOf(obligation);
    return values;
}
