// The library's argument arrays, filled from a plan basis exactly as the
// interface lays them out, with the array descriptors a host passes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "plan_basis.h"
#include "talvek_pension_model.h"

// Element counts of the arrays: every element the library reads is inside.
constexpr int kMortalityElements = 241;     // male at age, female at age + 121
constexpr int kFemaleMortalityOffset = 121;
constexpr int kColumnMapElements = 21;      // field codes 1..20
constexpr int kStatusCodeElements = 10;     // codes 1..9, 1..5 compared
constexpr int kPlanParameterElements = 16;
constexpr int kRetirementFactorElements = 242; // 1 and 21 ages, rows of 22 from 22
constexpr int kFactorRowStride = 22;
constexpr int kDemographicElements = 6;
constexpr int kEconomicElements = 20;
constexpr int kRetirementRateElements = 54;
constexpr int kWithdrawalRateElements = 64;
constexpr int kDisabilityRateElements = 94;
constexpr int kSalaryScaleElements = 94;
constexpr int kYearlyRateElements = 222;    // two rows of 111 years
constexpr int kYearSlots = 111;             // slots of one result block
constexpr int kMemberBlocks = 22;           // result blocks 1..22 of memberCounts
constexpr int kDecrementBlocks = 15;
constexpr int kCashflowBlocks = 18;
constexpr int kMemberCountElements = (kMemberBlocks + 1) * kYearSlots;
constexpr int kDecrementCountElements = (kDecrementBlocks + 1) * kYearSlots;
constexpr int kCashflowElements = (kCashflowBlocks + 1) * kYearSlots;

// Where a by-age table of the library keeps its ages and values.
struct AgeTableLayout {
    int elements;       // size of the array
    int lastAgeElement; // element holding the table's last age (element 1: first age)
    int firstValue;     // element of the value for the first age
};
constexpr AgeTableLayout kRetirementRateLayout{kRetirementRateElements, 26, 28};
constexpr AgeTableLayout kWithdrawalRateLayout{kWithdrawalRateElements, 31, 33};
constexpr AgeTableLayout kDisabilityRateLayout{kDisabilityRateElements, 46, 48};
constexpr AgeTableLayout kSalaryScaleLayout{kSalaryScaleElements, 46, 48};

struct HostArraySet {
    int32_t valuationYear = 0;
    int32_t mortalityBaseYear = 0;
    int32_t delimiterCode = 0;
    std::vector<double> baseMortality = std::vector<double>(kMortalityElements);
    std::vector<double> mortalityImprovement = std::vector<double>(kMortalityElements);
    std::vector<int16_t> columnMap = std::vector<int16_t>(kColumnMapElements);
    std::array<std::string, kStatusCodeElements> statusCodeText;      // the codes' storage
    std::vector<const char *> statusCodes = std::vector<const char *>(kStatusCodeElements);
    std::vector<double> planParameters = std::vector<double>(kPlanParameterElements);
    std::vector<double> retirementFactors = std::vector<double>(kRetirementFactorElements);
    std::vector<double> demographicParameters = std::vector<double>(kDemographicElements);
    std::vector<double> economicParameters = std::vector<double>(kEconomicElements);
    std::vector<double> retirementRates = std::vector<double>(kRetirementRateElements);
    std::vector<double> disabilityRates = std::vector<double>(kDisabilityRateElements);
    std::vector<double> withdrawalRates = std::vector<double>(kWithdrawalRateElements);
    std::vector<double> salaryScale = std::vector<double>(kSalaryScaleElements);
    std::vector<double> yearlyRates = std::vector<double>(kYearlyRateElements);
    std::vector<double> memberCounts = std::vector<double>(kMemberCountElements);
    std::vector<double> decrementCounts = std::vector<double>(kDecrementCountElements);
    std::vector<double> benefitCashflows = std::vector<double>(kCashflowElements);
};

// Fills every assumption array from the basis and zeroes the result arrays.
void fillHostArrays(const PlanBasis &basis, HostArraySet &arrays);

// One descriptor per array argument, in the order of the call, and the
// pointers to them that the call takes.
struct HostDescriptors {
    SAFEARRAY baseMortality, mortalityImprovement, columnMap, statusCodes, planParameters,
        retirementFactors, demographicParameters, economicParameters, retirementRates,
        disabilityRates, withdrawalRates, salaryScale, memberCounts, decrementCounts, yearlyRates,
        benefitCashflows;
    SAFEARRAY *baseMortalityRef, *mortalityImprovementRef, *columnMapRef, *statusCodesRef,
        *planParametersRef, *retirementFactorsRef, *demographicParametersRef,
        *economicParametersRef, *retirementRatesRef, *disabilityRatesRef, *withdrawalRatesRef,
        *salaryScaleRef, *memberCountsRef, *decrementCountsRef, *yearlyRatesRef,
        *benefitCashflowsRef;
};

// Describes the arrays of the set (which must outlive the descriptors).
void describeHostArrays(HostArraySet &arrays, HostDescriptors &descriptors);

// The counters of one run, which the host owns.
struct RunCounters {
    int32_t memberTotal = 0;  // line reads of the member file, from CountInputData
    int32_t membersDone = 0;  // lines read without a field error
    int32_t errorCount = 0;   // field errors written to the error log
    int16_t statusWord = 0;   // a slot of the call, never used
};

// Calls GenerateLiabilities with the arrays of the set. Paths are passed as
// given; the scratch file of the run lands in the current directory.
void callGenerateLiabilities(HostArraySet &arrays, const std::string &memberFile,
                             const std::string &listingFile, const std::string &errorFile,
                             RunCounters &counters);
