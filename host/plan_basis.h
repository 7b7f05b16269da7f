// The plan basis as the basis file states it: every assumption under its own
// name, ages and years explicit. host_arrays.cpp lays it out into the
// library's arrays; nothing here knows an element number.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "valuation_basis.h"

constexpr int kOldestTableAge = 119;   // mortality is given for ages 1..119
constexpr int kProjectionYears = 111;  // years 0..110 of the projection
constexpr int kMaxFactorRows = 10;     // service bands of the retirement factors
constexpr int kMaxRetirementAges = 21; // columns of one factor row
constexpr int kMemberFields = 14;      // field codes 1..14 of the member file
constexpr int kStatuses = 5;           // statuses 1..5
constexpr int kMaxColumn = 20;         // the column map knows columns 1..20
constexpr int kMaxSheetColumn = 255;   // a spreadsheet's columns, converted before the valuation

// Values by consecutive whole ages, the first at firstAge.
struct AgeTable {
    int firstAge = 0;
    std::vector<double> values;
};

// One row of retirement factors: the service it applies from and one factor
// per retirement age, from the first retirement age on.
struct FactorRow {
    int serviceFrom = 0;          // whole years of service
    std::vector<double> factors;  // firstRetirementAge .. lastRetirementAge
};

struct PlanBasis {
    int valuationYear = 0;      // calendar year of the valuation date
    int mortalityBaseYear = 0;  // calendar year of the base mortality rates

    // q(x) and the yearly improvement of q(x), index = age 1..119 (0 unused)
    std::array<double, kOldestTableAge + 1> maleBaseMortality{};
    std::array<double, kOldestTableAge + 1> femaleBaseMortality{};
    std::array<double, kOldestTableAge + 1> maleImprovement{};
    std::array<double, kOldestTableAge + 1> femaleImprovement{};

    // plan rules
    double memberRateUpToCeiling = 0;    // contribution rate on the salary up to the ceiling
    double memberRateAboveCeiling = 0;   // on the salary above it
    double employerRateUpToCeiling = 0;
    double employerRateAboveCeiling = 0;
    int averagingYears = 0;              // years of the final average salary, 1..59
    double lowerAccrualRate = 0;         // per year of service, salary up to the average ceiling
    double upperAccrualRate = 0;         // per year of service, salary above it
    double bridgeRate = 0;               // bridge pension per year of service, share of the average ceiling
    double indexationShare = 0;          // share of inflation granted on indexed pensions
    double spouseFraction = 0;           // share of the pension paid to a surviving spouse
    int guaranteePeriod = 0;             // years paid whether the pensioner lives or not, 1..19
    int bridgeStartAge = 0;              // bridge pension paid from this age
    int bridgeEndAge = 0;                // up to and including this age
    int firstRetirementAge = 0;          // first age of the factor rows
    int lastRetirementAge = 0;           // last age of the factor rows
    std::vector<FactorRow> factorRows;   // 1..10 rows, service bounds not decreasing

    // decrements
    double disablementLoading = 0;       // multiplies every disablement rate
    int disabledAgeAddition = 0;         // years added to a disabled life's age for mortality
    double transferShare = 0;            // share of leavers who take a transfer value
    int spouseAgeDifference = 0;         // a man's spouse is this much younger, a woman's older
    int deferredRetirementAge = 0;       // 0: deferred members retire by the retirement rates
    AgeTable retirementRates;            // from the age after the last rate everyone retires
    AgeTable withdrawalRates;            // no withdrawals after the last listed age
    AgeTable disabilityRates;            // no disablements after the last listed age

    // economic assumptions
    double discountRateYears1To10 = 0;
    double discountRateYears11To110 = 0;
    double indexationRateYears1To10 = 0;   // inflation assumed in transfer values
    double indexationRateYears11To110 = 0;
    double salaryCeiling = 0;              // in the valuation year
    double carryBackRate = 0;              // carries salaries and the ceiling into past years
    std::array<double, kProjectionYears> inflation{};      // by year 0..110
    std::array<double, kProjectionYears> realWageGrowth{}; // by year 0..110
    AgeTable salaryScale;                  // yearly merit increase by age

    // member file
    int delimiterCode = 0;                        // 1 tab, 2 comma, 3 semicolon, 4 space
    std::array<int, kMemberFields + 1> fieldColumn{}; // by field code 1..14; 0 = not in the file or named
    std::array<std::string, kMemberFields + 1> fieldHeader; // by field code: the header text naming its column
    std::array<std::string, kStatuses + 1> statusCodes; // by status 1..5
    bool spreadsheetLayout = false; // written as spreadsheets write it: converted before the valuation
    bool headerRow = false;         // the first line names the columns
    char decimalSeparator = '.';    // '.' or ','

    // the discount curve of the present values and the sensitivities
    ValuationBasis valuation;
};
