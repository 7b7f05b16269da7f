// Shared helpers of the tests: host arrays of the documented sizes, scratch
// directories and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "api/host_arrays.h"
#include "basis/basis.h"

// Host arrays of the documented sizes, all zero, with the result arrays;
// arrays() gives the view the run reads.
struct TestHost {
    std::vector<double> baseMortality = std::vector<double>(241);
    std::vector<double> mortalityImprovement = std::vector<double>(241);
    std::vector<int16_t> columnMap = std::vector<int16_t>(21);
    std::vector<std::string> statusCodeText = std::vector<std::string>(10);
    std::vector<const char *> statusCodes = std::vector<const char *>(10);
    std::vector<double> planParameters = std::vector<double>(16);
    std::vector<double> retirementFactors = std::vector<double>(242);
    std::vector<double> demographicParameters = std::vector<double>(6);
    std::vector<double> economicParameters = std::vector<double>(20);
    std::vector<double> retirementRates = std::vector<double>(54);
    std::vector<double> disabilityRates = std::vector<double>(94);
    std::vector<double> withdrawalRates = std::vector<double>(64);
    std::vector<double> salaryScale = std::vector<double>(94);
    std::vector<double> yearlyRates = std::vector<double>(222);
    std::vector<double> memberCounts = std::vector<double>(2553);
    std::vector<double> decrementCounts = std::vector<double>(1776);
    std::vector<double> benefitCashflows = std::vector<double>(2109);

    HostArrays arrays();
};

// A zeroed basis on the heap (it is too large for a test's stack).
std::unique_ptr<Basis> makeZeroBasis();

// A fresh empty directory under the system's temporary directory.
std::filesystem::path makeScratchDirectory(const std::string &name);

std::string readWholeFile(const std::filesystem::path &path);
void writeWholeFile(const std::filesystem::path &path, const std::string &bytes);
