#include "host_arrays.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int kFirstRetirementAgeElement = TALVEK_FACTORS_FIRST_AGE;
constexpr int kLastRetirementAgeElement = TALVEK_FACTORS_LAST_AGE;

// A rate table of the library: the ages first..last down elements 1..last-age
// element (the last age repeated to the end of the column, as a worksheet
// would hold it), the rates from firstValue on. From the last age on the
// library uses `fromLastAge` without reading the table; the slots from there
// hold that value.
void layOutRateTable(const AgeTable &table, const AgeTableLayout &layout, double fromLastAge,
                     std::vector<double> &out) {
    std::fill(out.begin(), out.end(), 0.0);
    const int count = static_cast<int>(table.values.size());
    const int lastAge = table.firstAge + count; // the first age past the listed rates
    for (int element = 1; element <= layout.lastAgeElement; ++element) {
        out[element] = std::min(table.firstAge + element - 1, lastAge);
    }
    out[layout.lastAgeElement] = lastAge;
    for (int i = 0; i < count; ++i) out[layout.firstValue + i] = table.values[i];
    for (int element = layout.firstValue + count; element < layout.elements; ++element) {
        out[element] = fromLastAge;
    }
}

// The salary scale: values for its first to last age, the last value carried
// to the final element, which the library reads for every age above the last.
void layOutSalaryScale(const AgeTable &table, std::vector<double> &out) {
    const AgeTableLayout &layout = kSalaryScaleLayout;
    std::fill(out.begin(), out.end(), 0.0);
    const int count = static_cast<int>(table.values.size());
    const int lastAge = table.firstAge + count - 1;
    for (int element = 1; element <= layout.lastAgeElement; ++element) {
        out[element] = std::min(table.firstAge + element - 1, lastAge);
    }
    out[layout.lastAgeElement] = lastAge;
    for (int element = layout.firstValue; element < layout.elements; ++element) {
        const int i = std::min(element - layout.firstValue, count - 1);
        out[element] = table.values[i];
    }
}

// Rows 1..10 of retirement factors. Rows beyond those given repeat the last
// one with a service bound one year higher: the bound lookup needs the last
// bound above the first, and a service that reaches the copy finds the same
// factors.
void layOutRetirementFactors(const PlanBasis &basis, std::vector<double> &out) {
    std::fill(out.begin(), out.end(), 0.0);
    const int first = basis.firstRetirementAge;
    const int last = basis.lastRetirementAge;
    for (int element = kFirstRetirementAgeElement; element <= kLastRetirementAgeElement; ++element) {
        out[element] = std::min(first + element - 1, last);
    }
    out[kLastRetirementAgeElement] = last;
    const int given = static_cast<int>(basis.factorRows.size());
    for (int row = 1; row <= kMaxFactorRows; ++row) {
        const FactorRow &source = basis.factorRows[std::min(row, given) - 1];
        const int start = kFactorRowStride * row;
        out[start] = row <= given ? source.serviceFrom : source.serviceFrom + 1;
        const int columns = static_cast<int>(source.factors.size());
        for (int column = 1; column < kFactorRowStride; ++column) {
            // columns past the last retirement age are never read
            out[start + column] = columns > 0 ? source.factors[std::min(column, columns) - 1] : 0.0;
        }
    }
}

} // namespace

void fillHostArrays(const PlanBasis &basis, HostArraySet &arrays) {
    arrays = HostArraySet{};
    arrays.valuationYear = basis.valuationYear;
    arrays.mortalityBaseYear = basis.mortalityBaseYear;
    arrays.delimiterCode = basis.delimiterCode;

    for (int age = 1; age <= kOldestTableAge; ++age) {
        arrays.baseMortality[age] = basis.maleBaseMortality[age];
        arrays.baseMortality[age + kFemaleMortalityOffset] = basis.femaleBaseMortality[age];
        arrays.mortalityImprovement[age] = basis.maleImprovement[age];
        arrays.mortalityImprovement[age + kFemaleMortalityOffset] = basis.femaleImprovement[age];
    }

    for (int field = 1; field <= kMemberFields; ++field) {
        arrays.columnMap[field] = static_cast<int16_t>(basis.fieldColumn[field]);
    }
    // codes 6..9 take no part; every slot still points at a text
    for (int status = 1; status <= kStatuses; ++status) {
        arrays.statusCodeText[status] = basis.statusCodes[status];
    }
    for (int element = 0; element < kStatusCodeElements; ++element) {
        arrays.statusCodes[element] = arrays.statusCodeText[element].c_str();
    }

    std::vector<double> &p = arrays.planParameters;
    p[TALVEK_PLAN_MEMBER_RATE_UP_TO_CEILING] = basis.memberRateUpToCeiling;
    p[TALVEK_PLAN_MEMBER_RATE_ABOVE_CEILING] = basis.memberRateAboveCeiling;
    p[TALVEK_PLAN_EMPLOYER_RATE_UP_TO_CEILING] = basis.employerRateUpToCeiling;
    p[TALVEK_PLAN_EMPLOYER_RATE_ABOVE_CEILING] = basis.employerRateAboveCeiling;
    p[TALVEK_PLAN_AVERAGING_YEARS] = basis.averagingYears;
    p[TALVEK_PLAN_LOWER_ACCRUAL_RATE] = basis.lowerAccrualRate;
    p[TALVEK_PLAN_UPPER_ACCRUAL_RATE] = basis.upperAccrualRate;
    p[TALVEK_PLAN_BRIDGE_RATE] = basis.bridgeRate;
    p[TALVEK_PLAN_INDEXATION_SHARE] = basis.indexationShare;
    p[TALVEK_PLAN_SPOUSE_FRACTION] = basis.spouseFraction;
    p[TALVEK_PLAN_GUARANTEE_PERIOD] = basis.guaranteePeriod;
    p[TALVEK_PLAN_BRIDGE_START_AGE] = basis.bridgeStartAge;
    p[TALVEK_PLAN_BRIDGE_END_AGE] = basis.bridgeEndAge;

    layOutRetirementFactors(basis, arrays.retirementFactors);

    std::vector<double> &d = arrays.demographicParameters;
    d[TALVEK_DEMOGRAPHIC_DISABLEMENT_LOADING] = basis.disablementLoading;
    d[TALVEK_DEMOGRAPHIC_DISABLED_AGE_ADDITION] = basis.disabledAgeAddition;
    d[TALVEK_DEMOGRAPHIC_TRANSFER_SHARE] = basis.transferShare;
    d[TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE] = basis.spouseAgeDifference;
    d[TALVEK_DEMOGRAPHIC_DEFERRED_RETIREMENT_AGE] = basis.deferredRetirementAge;

    std::vector<double> &e = arrays.economicParameters;
    e[TALVEK_ECONOMIC_CARRY_BACK_RATE] = basis.carryBackRate;
    e[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10] = basis.discountRateYears1To10;
    e[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110] = basis.discountRateYears11To110;
    e[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10] = basis.indexationRateYears1To10;
    e[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110] = basis.indexationRateYears11To110;
    e[TALVEK_ECONOMIC_SALARY_CEILING] = basis.salaryCeiling;

    // past the last listed age everyone retires, and no one withdraws or
    // becomes disabled
    layOutRateTable(basis.retirementRates, kRetirementRateLayout, 1.0, arrays.retirementRates);
    layOutRateTable(basis.withdrawalRates, kWithdrawalRateLayout, 0.0, arrays.withdrawalRates);
    layOutRateTable(basis.disabilityRates, kDisabilityRateLayout, 0.0, arrays.disabilityRates);
    layOutSalaryScale(basis.salaryScale, arrays.salaryScale);

    for (int year = 0; year < kProjectionYears; ++year) {
        arrays.yearlyRates[TALVEK_YEARLY_INFLATION + year] = basis.inflation[year];
        arrays.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + year] = basis.realWageGrowth[year];
    }
}

TalvekAssumptions engineAssumptions(HostArraySet &a) {
    for (size_t i = 0; i < a.statusCodes.size(); ++i) a.statusCodes[i] = a.statusCodeText[i].c_str();
    TalvekAssumptions e{};
    e.valuation_year = a.valuationYear;
    e.mortality_base_year = a.mortalityBaseYear;
    e.delimiter_code = a.delimiterCode;
    e.base_mortality = a.baseMortality.data();
    e.mortality_improvement = a.mortalityImprovement.data();
    e.column_map = a.columnMap.data();
    e.status_codes = a.statusCodes.data();
    e.plan_parameters = a.planParameters.data();
    e.retirement_factors = a.retirementFactors.data();
    e.demographic_parameters = a.demographicParameters.data();
    e.economic_parameters = a.economicParameters.data();
    e.retirement_rates = a.retirementRates.data();
    e.disability_rates = a.disabilityRates.data();
    e.withdrawal_rates = a.withdrawalRates.data();
    e.salary_scale = a.salaryScale.data();
    e.yearly_rates = a.yearlyRates.data();
    return e;
}

void takeResults(const TalvekResults &results, HostArraySet &arrays) {
    arrays.memberCounts.assign(std::begin(results.member_counts), std::end(results.member_counts));
    arrays.decrementCounts.assign(std::begin(results.decrement_counts), std::end(results.decrement_counts));
    arrays.benefitCashflows.assign(std::begin(results.benefit_cashflows), std::end(results.benefit_cashflows));
}
