// Shared helpers of the tests: host arrays of the documented sizes, scratch
// directories and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/host_arrays.h"
#include "basis/basis.h"
#include "talvek/engine.h"

// Host arrays of the documented sizes, all zero, with the result arrays;
// arrays() gives the view the run reads.
struct TestHost {
    std::vector<double> baseMortality = std::vector<double>(TALVEK_MORTALITY_SIZE);
    std::vector<double> mortalityImprovement = std::vector<double>(TALVEK_MORTALITY_SIZE);
    std::vector<int16_t> columnMap = std::vector<int16_t>(TALVEK_COLUMN_MAP_SIZE);
    std::vector<std::string> statusCodeText = std::vector<std::string>(TALVEK_STATUS_CODES_SIZE);
    std::vector<const char *> statusCodes = std::vector<const char *>(TALVEK_STATUS_CODES_SIZE);
    std::vector<double> planParameters = std::vector<double>(TALVEK_PLAN_SIZE);
    std::vector<double> retirementFactors = std::vector<double>(TALVEK_RETIREMENT_FACTORS_SIZE);
    std::vector<double> demographicParameters = std::vector<double>(TALVEK_DEMOGRAPHIC_SIZE);
    std::vector<double> economicParameters = std::vector<double>(TALVEK_ECONOMIC_SIZE);
    std::vector<double> retirementRates = std::vector<double>(TALVEK_RETIREMENT_RATES_SIZE);
    std::vector<double> disabilityRates = std::vector<double>(TALVEK_DISABILITY_RATES_SIZE);
    std::vector<double> withdrawalRates = std::vector<double>(TALVEK_WITHDRAWAL_RATES_SIZE);
    std::vector<double> salaryScale = std::vector<double>(TALVEK_SALARY_SCALE_SIZE);
    std::vector<double> yearlyRates = std::vector<double>(TALVEK_YEARLY_RATES_SIZE);
    std::vector<double> memberCounts = std::vector<double>(TALVEK_MEMBER_COUNTS_SIZE);
    std::vector<double> decrementCounts = std::vector<double>(TALVEK_DECREMENT_COUNTS_SIZE);
    std::vector<double> benefitCashflows = std::vector<double>(TALVEK_BENEFIT_CASHFLOWS_SIZE);

    HostArrays arrays();
    // The assumption arrays as the engine's interface takes them.
    TalvekAssumptions assumptions(int32_t valuationYear, int32_t mortalityBaseYear, int32_t delimiterCode);
};

// A zeroed basis on the heap (it is too large for a test's stack).
std::unique_ptr<Basis> makeZeroBasis();

// A fresh empty directory under the system's temporary directory.
std::filesystem::path makeScratchDirectory(const std::string &name);

std::string readWholeFile(const std::filesystem::path &path);
void writeWholeFile(const std::filesystem::path &path, const std::string &bytes);

// Makes a locale whose decimal separator is a comma (German, compiled with
// localedef into a temporary folder named by LOCPATH) and returns its name,
// or an empty name with the reason when this machine cannot make one.
std::string makeCommaLocale(std::string &reason);
