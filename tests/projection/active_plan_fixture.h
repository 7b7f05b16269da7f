// A small, neutral plan for the tests of members in service: no mortality
// below 120, no decrements unless a test sets them, flat salaries under a flat
// ceiling, no inflation. Tests change only what their case is about.
#pragma once

#include <algorithm>
#include <memory>

#include "core/host_arrays.h"
#include "basis/basis.h"
#include "core/member_record.h"
#include "projection/valuation.h"
#include "support/test_support.h"

constexpr double kTestWeeksPerYear = 52.1785714285714;
constexpr double kTestCeiling = 100000.0;
constexpr double kTestSalary = 50000.0;

struct ActivePlan {
    TestHost host;
    std::unique_ptr<Basis> basis = makeZeroBasis();

    ActivePlan() {
        for (int year = 0; year < kProjectionSlots; ++year) {
            basis->maleMortality[120][year] = 1.0;
            basis->femaleMortality[120][year] = 1.0;
            basis->salaryCeiling[year] = kTestCeiling;
        }
        for (int t = 0; t < kPastCeilingSlots; ++t) basis->pastSalaryCeiling[t] = kTestCeiling;
        // service bands 0, 5, 10, ..., 45 years
        for (int k = 1; k <= kServiceBands; ++k) {
            basis->serviceBandKeys[k] = 5 * (k - 1);
            host.retirementFactors[22 * k] = 5 * (k - 1);
            for (int column = 1; column <= 21; ++column) {
                host.retirementFactors[22 * k + column] = factor(k, column);
            }
        }
        host.retirementFactors[1] = 55; // firstRetirementAge
        host.retirementFactors[21] = 70; // lastRetirementAge
        host.retirementRates[1] = 60;
        host.retirementRates[26] = 65;
        host.withdrawalRates[1] = 20;
        host.withdrawalRates[31] = 50;
        host.disabilityRates[1] = 20;
        host.disabilityRates[46] = 60;
        host.salaryScale[1] = 20;
        host.salaryScale[46] = 65;

        host.planParameters[1] = 0.05; // contributions up to the ceiling
        host.planParameters[3] = 0.03;
        host.planParameters[2] = 0.08; // contributions above it
        host.planParameters[4] = 0.04;
        host.planParameters[5] = 5;    // averaging years
        host.planParameters[6] = 0.015;
        host.planParameters[7] = 0.02;
        host.planParameters[8] = 0.001; // bridge rate
        host.planParameters[9] = 1.0;   // indexation share
        host.planParameters[12] = 0.6;  // spouse fraction
        host.planParameters[13] = 5;    // guarantee period
        host.planParameters[14] = 62;   // bridge ages
        host.planParameters[15] = 64;
        host.demographicParameters[1] = 1.0; // disablement loading
        host.economicParameters[19] = kTestCeiling;
    }

    // Distinct factors, so that a wrong row or column shows.
    static double factor(int band, int column) { return 0.5 + 0.1 * band + 0.01 * column; }

    // Death probability q for ages first..last in every year, in one table.
    void setMortality(bool male, int first, int last, double q) {
        MortalityTable &table = male ? basis->maleMortality : basis->femaleMortality;
        for (int age = first; age <= last; ++age)
            for (int year = 0; year < kProjectionSlots; ++year) table[age][year] = q;
    }

    // A by-age rate at one age of a table whose values start at `firstValue`.
    static void setRate(std::vector<double> &table, int firstValue, int age, double rate) {
        table[firstValue + (age - static_cast<int>(table[1]))] = rate;
    }
    void setRetirementRate(int age, double rate) { setRate(host.retirementRates, 28, age, rate); }
    void setWithdrawalRate(int age, double rate) { setRate(host.withdrawalRates, 33, age, rate); }
    void setDisablementRate(int age, double rate) { setRate(host.disabilityRates, 48, age, rate); }

    void value(const MemberRecord &member) {
        const HostArrays arrays = host.arrays();
        const ValuationContext context = valuationContext(basis.get(), &arrays);
        valueActiveMember(context, member);
    }

    double members(int block, int year) const { return host.memberCounts[block + year]; }
    double events(int block, int year) const { return host.decrementCounts[block + year]; }
    double paid(int block, int year) const { return host.benefitCashflows[block + year]; }
};

// A member in service of the neutral plan, with the derived quantities as
// the member file reader gives them.
inline MemberRecord activeMember(int age, char sex, int spouseAge, double serviceYearsWithGuarantee,
                                 const ActivePlan &plan) {
    MemberRecord member{};
    member.age = age;
    member.sex = sex;
    member.spouseAge = spouseAge;
    member.annualSalary = kTestSalary;
    member.serviceWithGuarantee = serviceYearsWithGuarantee * kTestWeeksPerYear;
    member.serviceWithoutGuarantee = 0.0;
    member.youngerAge = std::min(age, spouseAge);
    member.projectionYears = std::min(121 - member.youngerAge, 111);
    member.yearsToLastRetirementAge = static_cast<int>(plan.host.retirementRates[26]) - age + 1;
    member.serviceYears = serviceYearsWithGuarantee;
    member.wholeServiceYears = static_cast<int>(serviceYearsWithGuarantee);
    member.cappedServiceYears = std::min(static_cast<int>(plan.host.planParameters[5]),
                                         static_cast<int>(serviceYearsWithGuarantee + 0.999));
    return member;
}
