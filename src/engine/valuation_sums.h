// What one engine run of a valuation adds up and how it is valued: shared by
// the valuation, its sensitivities and the economic scenarios.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/piece_valuation.h"
#include "engine/present_values.h"
#include "talvek/engine.h"

constexpr int kGroups = TALVEK_MEMBER_STATUSES + 1; // [0] every member, [s] status s

// The arrays of each status, the benefit cash flows of the obligation and of
// one year of service, by group.
struct ValuationSums {
    TalvekStatusArrays byStatus[kGroups];
    double accruedCashflows[kGroups][TALVEK_BENEFIT_CASHFLOWS_SIZE];
    double oneYearCashflows[kGroups][TALVEK_BENEFIT_CASHFLOWS_SIZE];
};

// Where the projection of a run puts its sums (statuses 1..5) on a curve.
EngineValuation engineValuationOf(ValuationSums &sums, const DiscountCurve &curve, bool perMember,
                                  std::vector<TalvekMemberValues> *members);

// Group 0 of every member: the run's own totals (the same bytes as a plain
// run), and the cash flows of the two limited attributions added status
// after status.
void sumEveryMember(ValuationSums &sums, const TalvekResults &results);

// Group 0's cash flows of the two limited attributions: status after status.
void sumLimitedAttributions(ValuationSums &sums);

// The present values of every group on a curve.
void valueGroups(const ValuationSums &sums, const DiscountCurve &curve, TalvekPresentValues *values);

// The curve of a definition (of its kind, its rates and the basis's discount
// rates in `economicParameters`) moved by `shift`, or a message naming the year.
bool curveOf(int32_t kind, const double *rates, const double *economicParameters, double shift,
             DiscountCurve &curve, char *message, size_t size);

// A rate of -1 or below would turn a growth factor 1 + rate to 0 or less, and
// every salary, ceiling and indexed pension after it with it.
inline bool isGrowthRate(double rate) { return std::isfinite(rate) && rate > -1.0; }

// The first yearly rate (both rows, TALVEK_YEARLY_RATES_SIZE) that is not a
// number above -1, written into `message` after `whose`; false when there is one.
bool checkYearlyRates(const double *rates, const char *whose, char *message, size_t size);
