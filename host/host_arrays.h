// The engine's assumption arrays, filled from a plan basis exactly as the
// engine's interface lays them out, and the result arrays of a run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "plan_basis.h"
#include "talvek/engine.h"

// Element counts of the arrays: the engine's published layout.
constexpr int kMortalityElements = TALVEK_MORTALITY_SIZE;     // male at age, female at age + 121
constexpr int kFemaleMortalityOffset = TALVEK_MORTALITY_FEMALE_OFFSET;
constexpr int kColumnMapElements = TALVEK_COLUMN_MAP_SIZE;    // field codes 1..20
constexpr int kStatusCodeElements = TALVEK_STATUS_CODES_SIZE; // codes 1..9, 1..5 compared
constexpr int kPlanParameterElements = TALVEK_PLAN_SIZE;
constexpr int kRetirementFactorElements = TALVEK_RETIREMENT_FACTORS_SIZE;
constexpr int kFactorRowStride = TALVEK_FACTORS_ROW_STRIDE;
constexpr int kDemographicElements = TALVEK_DEMOGRAPHIC_SIZE;
constexpr int kEconomicElements = TALVEK_ECONOMIC_SIZE;
constexpr int kRetirementRateElements = TALVEK_RETIREMENT_RATES_SIZE;
constexpr int kWithdrawalRateElements = TALVEK_WITHDRAWAL_RATES_SIZE;
constexpr int kDisabilityRateElements = TALVEK_DISABILITY_RATES_SIZE;
constexpr int kSalaryScaleElements = TALVEK_SALARY_SCALE_SIZE;
constexpr int kYearlyRateElements = TALVEK_YEARLY_RATES_SIZE; // two rows of 111 years
constexpr int kYearSlots = TALVEK_YEAR_SLOTS;                 // slots of one result block
constexpr int kMemberBlocks = TALVEK_MEMBER_COUNT_BLOCKS - 1; // result blocks 1..22 of memberCounts
constexpr int kDecrementBlocks = TALVEK_DECREMENT_COUNT_BLOCKS - 1;
constexpr int kCashflowBlocks = TALVEK_CASHFLOW_BLOCKS - 1;
constexpr int kMemberCountElements = TALVEK_MEMBER_COUNTS_SIZE;
constexpr int kDecrementCountElements = TALVEK_DECREMENT_COUNTS_SIZE;
constexpr int kCashflowElements = TALVEK_BENEFIT_CASHFLOWS_SIZE;

// Where a by-age table of the engine keeps its ages and values.
struct AgeTableLayout {
    int elements;       // size of the array
    int lastAgeElement; // element holding the table's last age (element 1: first age)
    int firstValue;     // element of the value for the first age
};
constexpr AgeTableLayout kRetirementRateLayout{kRetirementRateElements, TALVEK_RETIREMENT_RATES_LAST_AGE,
                                               TALVEK_RETIREMENT_RATES_FIRST_VALUE};
constexpr AgeTableLayout kWithdrawalRateLayout{kWithdrawalRateElements, TALVEK_WITHDRAWAL_RATES_LAST_AGE,
                                               TALVEK_WITHDRAWAL_RATES_FIRST_VALUE};
constexpr AgeTableLayout kDisabilityRateLayout{kDisabilityRateElements, TALVEK_DISABILITY_RATES_LAST_AGE,
                                               TALVEK_DISABILITY_RATES_FIRST_VALUE};
constexpr AgeTableLayout kSalaryScaleLayout{kSalaryScaleElements, TALVEK_SALARY_SCALE_LAST_AGE,
                                            TALVEK_SALARY_SCALE_FIRST_VALUE};

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

// The assumptions of the set as the engine's run definition takes them (the
// set must outlive the definition).
TalvekAssumptions engineAssumptions(HostArraySet &arrays);

// Takes the result arrays of a run into the set's.
void takeResults(const TalvekResults &results, HostArraySet &arrays);
