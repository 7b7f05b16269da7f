#include "host_arrays.h"

#include <algorithm>

namespace {

// Elements of planParameters, demographicParameters and economicParameters.
namespace plan {
constexpr int kMemberRateUpToCeiling = 1;
constexpr int kMemberRateAboveCeiling = 2;
constexpr int kEmployerRateUpToCeiling = 3;
constexpr int kEmployerRateAboveCeiling = 4;
constexpr int kAveragingYears = 5;
constexpr int kLowerAccrualRate = 6;
constexpr int kUpperAccrualRate = 7;
constexpr int kBridgeRate = 8;
constexpr int kIndexationShare = 9;
constexpr int kSpouseFraction = 12;
constexpr int kGuaranteePeriod = 13;
constexpr int kBridgeStartAge = 14;
constexpr int kBridgeEndAge = 15;
} // namespace plan

namespace demographic {
constexpr int kDisablementLoading = 1;
constexpr int kDisabledAgeAddition = 2;
constexpr int kTransferShare = 3;
constexpr int kSpouseAgeDifference = 4;
constexpr int kDeferredRetirementAge = 5;
} // namespace demographic

namespace economic {
constexpr int kCarryBackRate = 3;
constexpr int kDiscountRateYears1To10 = 11;
constexpr int kDiscountRateYears11To110 = 12;
constexpr int kIndexationRateYears1To10 = 15;
constexpr int kIndexationRateYears11To110 = 16;
constexpr int kSalaryCeiling = 19;
} // namespace economic

constexpr int kFirstRetirementAgeElement = 1;
constexpr int kLastRetirementAgeElement = 21;

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

void describe(SAFEARRAY &descriptor, SAFEARRAY *&reference, void *data, size_t count,
              uint32_t elementSize, int32_t lowerBound) {
    descriptor = SAFEARRAY{};
    descriptor.cDims = 1;
    descriptor.fFeatures = 0;
    descriptor.cbElements = elementSize;
    descriptor.cLocks = 0;
    descriptor.pvData = data;
    descriptor.rgsabound[0].cElements = static_cast<uint32_t>(count);
    descriptor.rgsabound[0].lLbound = lowerBound;
    reference = &descriptor;
}

template <typename Element>
void describeVector(SAFEARRAY &descriptor, SAFEARRAY *&reference, std::vector<Element> &data,
                    int32_t lowerBound) {
    describe(descriptor, reference, data.data(), data.size(), sizeof(Element), lowerBound);
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
    p[plan::kMemberRateUpToCeiling] = basis.memberRateUpToCeiling;
    p[plan::kMemberRateAboveCeiling] = basis.memberRateAboveCeiling;
    p[plan::kEmployerRateUpToCeiling] = basis.employerRateUpToCeiling;
    p[plan::kEmployerRateAboveCeiling] = basis.employerRateAboveCeiling;
    p[plan::kAveragingYears] = basis.averagingYears;
    p[plan::kLowerAccrualRate] = basis.lowerAccrualRate;
    p[plan::kUpperAccrualRate] = basis.upperAccrualRate;
    p[plan::kBridgeRate] = basis.bridgeRate;
    p[plan::kIndexationShare] = basis.indexationShare;
    p[plan::kSpouseFraction] = basis.spouseFraction;
    p[plan::kGuaranteePeriod] = basis.guaranteePeriod;
    p[plan::kBridgeStartAge] = basis.bridgeStartAge;
    p[plan::kBridgeEndAge] = basis.bridgeEndAge;

    layOutRetirementFactors(basis, arrays.retirementFactors);

    std::vector<double> &d = arrays.demographicParameters;
    d[demographic::kDisablementLoading] = basis.disablementLoading;
    d[demographic::kDisabledAgeAddition] = basis.disabledAgeAddition;
    d[demographic::kTransferShare] = basis.transferShare;
    d[demographic::kSpouseAgeDifference] = basis.spouseAgeDifference;
    d[demographic::kDeferredRetirementAge] = basis.deferredRetirementAge;

    std::vector<double> &e = arrays.economicParameters;
    e[economic::kCarryBackRate] = basis.carryBackRate;
    e[economic::kDiscountRateYears1To10] = basis.discountRateYears1To10;
    e[economic::kDiscountRateYears11To110] = basis.discountRateYears11To110;
    e[economic::kIndexationRateYears1To10] = basis.indexationRateYears1To10;
    e[economic::kIndexationRateYears11To110] = basis.indexationRateYears11To110;
    e[economic::kSalaryCeiling] = basis.salaryCeiling;

    // past the last listed age everyone retires, and no one withdraws or
    // becomes disabled
    layOutRateTable(basis.retirementRates, kRetirementRateLayout, 1.0, arrays.retirementRates);
    layOutRateTable(basis.withdrawalRates, kWithdrawalRateLayout, 0.0, arrays.withdrawalRates);
    layOutRateTable(basis.disabilityRates, kDisabilityRateLayout, 0.0, arrays.disabilityRates);
    layOutSalaryScale(basis.salaryScale, arrays.salaryScale);

    for (int year = 0; year < kProjectionYears; ++year) {
        arrays.yearlyRates[year] = basis.inflation[year];
        arrays.yearlyRates[year + kYearSlots] = basis.realWageGrowth[year];
    }
}

void describeHostArrays(HostArraySet &a, HostDescriptors &d) {
    // The tables keyed from element 1 are declared from 1, as a host holding
    // them in a worksheet range would; the library counts elements from the
    // first stored one all the same, so element i sits at storage position i.
    describeVector(d.baseMortality, d.baseMortalityRef, a.baseMortality, 0);
    describeVector(d.mortalityImprovement, d.mortalityImprovementRef, a.mortalityImprovement, 0);
    describeVector(d.columnMap, d.columnMapRef, a.columnMap, 1);
    describeVector(d.statusCodes, d.statusCodesRef, a.statusCodes, 1);
    describeVector(d.planParameters, d.planParametersRef, a.planParameters, 1);
    describeVector(d.retirementFactors, d.retirementFactorsRef, a.retirementFactors, 1);
    describeVector(d.demographicParameters, d.demographicParametersRef, a.demographicParameters, 1);
    describeVector(d.economicParameters, d.economicParametersRef, a.economicParameters, 1);
    describeVector(d.retirementRates, d.retirementRatesRef, a.retirementRates, 1);
    describeVector(d.disabilityRates, d.disabilityRatesRef, a.disabilityRates, 1);
    describeVector(d.withdrawalRates, d.withdrawalRatesRef, a.withdrawalRates, 1);
    describeVector(d.salaryScale, d.salaryScaleRef, a.salaryScale, 1);
    describeVector(d.memberCounts, d.memberCountsRef, a.memberCounts, 0);
    describeVector(d.decrementCounts, d.decrementCountsRef, a.decrementCounts, 0);
    describeVector(d.yearlyRates, d.yearlyRatesRef, a.yearlyRates, 0);
    describeVector(d.benefitCashflows, d.benefitCashflowsRef, a.benefitCashflows, 0);
}

void callGenerateLiabilities(HostArraySet &a, const std::string &memberFile,
                             const std::string &listingFile, const std::string &errorFile,
                             RunCounters &counters) {
    HostDescriptors d;
    describeHostArrays(a, d);
    GenerateLiabilities(memberFile.c_str(), listingFile.c_str(), errorFile.c_str(), a.valuationYear,
                        &counters.memberTotal, &counters.membersDone, &counters.errorCount,
                        &counters.statusWord, &d.baseMortalityRef, a.mortalityBaseYear,
                        &d.mortalityImprovementRef, &d.columnMapRef, a.delimiterCode,
                        &d.statusCodesRef, &d.planParametersRef, &d.retirementFactorsRef,
                        &d.demographicParametersRef, &d.economicParametersRef,
                        &d.retirementRatesRef, &d.disabilityRatesRef, &d.withdrawalRatesRef,
                        &d.salaryScaleRef, &d.memberCountsRef, &d.decrementCountsRef,
                        &d.yearlyRatesRef, &d.benefitCashflowsRef);
}
