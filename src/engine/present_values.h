// Present values at the valuation date of the yearly cash flows, on a
// discount curve. Every amount of projection year t is paid, on average, in
// the middle of the year and discounted from t - 0.5, with the factor inside
// a year taken at the year's constant forward rate:
//   v(t - 0.5) = v(t - 1) x sqrt(v(t) / v(t - 1)).
#pragma once

#include <cstdint>

#include "talvek/engine.h"

struct DiscountCurve {
    double factors[TALVEK_CURVE_SIZE]; // v(t), t = 0..110
    double midYear[TALVEK_CURVE_SIZE]; // v(t - 0.5), t = 1..110; slot 0 is 0
    double time[TALVEK_CURVE_SIZE];    // (t - 0.5) v(t - 0.5), for the durations
};

// The curve of a kind (TalvekCurveKind) from its yearly rates (null for the
// basis's two rates, economic_parameters 11 and 12), every rate moved by
// `shift`. Null when every v(t) is a positive finite number; else what is
// wrong, for the year it names in *year.
const char *buildDiscountCurve(DiscountCurve &curve, int32_t kind, const double *rates, double shift,
                               const double *economicParameters, int32_t *year);

// The present values and durations of a group's benefit cash flows as
// projected, counting no service after the valuation date, and one year of it.
TalvekPresentValues presentValuesOf(const double *cashflows, const double *accruedCashflows,
                                    const double *oneYearCashflows, const DiscountCurve &curve);
