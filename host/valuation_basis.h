// The valuation's part of the basis: the discount curve of the present values
// and the set of sensitivities (valuation_basis.cpp reads them from the
// optional tables [discount] and [sensitivities] of the basis file).
#pragma once

#include <array>
#include <string>
#include <vector>

constexpr int kCurveYears = 110;    // the curve's terms or years 1..110
constexpr int kMaxSensitivities = 16; // the engine values at most this many at once

// How the discount curve is given.
enum class CurveForm {
    BasisRates,   // no [discount]: the two discount rates of [economic]
    SpotRates,    // spot_rates: the annual spot rate of each term t, v(t) = (1 + s(t))^-t
    ForwardRates, // forward_rates: the rate of each year t, v(t) = v(t - 1) / (1 + f(t))
};

// What a sensitivity changes.
enum class SensitivityKind {
    DiscountRate = 1, // added to every discount rate (the present values only)
    Inflation = 2,    // added to inflation of every year and to both indexation rates
    SalaryGrowth = 3, // added to real salary growth of every year
    Mortality = 4,    // multiplies every base mortality rate (at most 1)
};
constexpr int kSensitivityKinds = 4;

struct Sensitivity {
    SensitivityKind kind = SensitivityKind::DiscountRate;
    double size = 0; // a rate added (0.005 for +0.5 %), or the mortality factor (0.9)
};

struct ValuationBasis {
    CurveForm curveForm = CurveForm::BasisRates;
    int termsGiven = 0; // rates in the file (1..110); the last carries on to year 110
    // the yearly curve, element t = 1..110 (element 0 unused): the rates as
    // given, the last one carried on; all 0 for CurveForm::BasisRates
    std::array<double, kCurveYears + 1> curve{};
    bool sensitivitiesGiven = false; // false: the default set below
    std::vector<Sensitivity> sensitivities;
};

// The set without a [sensitivities] table: discount rate, inflation and
// salary growth -0.005 and +0.005, mortality x 0.9 and x 1.1.
std::vector<Sensitivity> defaultSensitivities();

// The key of a kind in [sensitivities] and in the result files
// ("discount_rate", "inflation", "salary_growth", "mortality").
const char *sensitivityName(SensitivityKind kind);

// The key of the curve's form in [discount] and in the run record:
// "basis_rates", "spot_rates" or "forward_rates".
const char *curveFormName(CurveForm form);
