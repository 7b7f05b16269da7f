// The plan every benchmark values its members on: host arrays of the
// documented sizes holding the assumptions of a typical plan, and the basis a
// run builds from them.
#pragma once

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/host_arrays.h"
#include "basis/basis.h"

// Host arrays of the documented sizes: exponential mortality with
// improvement, withdrawal, disablement and retirement tables over working
// ages, a salary scale, ten service rows of retirement factors from 55 to 65,
// a 5-year guarantee, a bridge window and yearly inflation.
struct BenchPlan {
    std::vector<double> baseMortality = std::vector<double>(TALVEK_MORTALITY_SIZE);
    std::vector<double> mortalityImprovement = std::vector<double>(TALVEK_MORTALITY_SIZE);
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
    std::unique_ptr<Basis> basis = std::make_unique<Basis>();
    HostArrays host{};

    BenchPlan() {
        for (int x = 1; x <= TALVEK_MORTALITY_OLDEST_AGE; ++x) {
            baseMortality[x] = std::fmin(1.0, 0.00005 * std::exp(0.095 * x));
            baseMortality[x + TALVEK_MORTALITY_FEMALE_OFFSET] = std::fmin(1.0, 0.00003 * std::exp(0.097 * x));
            mortalityImprovement[x] = x < 90 ? 0.025 : 0.015;
            mortalityImprovement[x + TALVEK_MORTALITY_FEMALE_OFFSET] = x < 90 ? 0.02 : 0.012;
        }
        const double plan[TALVEK_PLAN_SIZE] = {0, 0.05, 0.07, 0.01, 0.02, 5, 0.015, 0.018, 0.002,
                                 0.75, 0, 0, 0.6, 5, 60, 64};
        for (int i = 0; i < TALVEK_PLAN_SIZE; ++i) planParameters[i] = plan[i];
        retirementFactors[TALVEK_FACTORS_FIRST_AGE] = 55.0;
        retirementFactors[TALVEK_FACTORS_LAST_AGE] = 65.0;
        for (int k = 1; k <= kServiceBands; ++k) {
            retirementFactors[TALVEK_FACTORS_ROW_STRIDE * k] = 5.0 * (k - 1);
            for (int v = 1; v <= 11; ++v) {
                retirementFactors[TALVEK_FACTORS_ROW_STRIDE * k + v] = (0.7 + 0.03 * (v - 1)) * (0.9 + 0.01 * k);
            }
        }
        demographicParameters[TALVEK_DEMOGRAPHIC_DISABLEMENT_LOADING] = 1.0;
        demographicParameters[TALVEK_DEMOGRAPHIC_DISABLED_AGE_ADDITION] = 2.0;
        demographicParameters[TALVEK_DEMOGRAPHIC_TRANSFER_SHARE] = 0.3;
        demographicParameters[TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE] = 3.0;
        economicParameters[TALVEK_ECONOMIC_CARRY_BACK_RATE] = 0.02;
        economicParameters[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10] = 0.035;
        economicParameters[TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110] = 0.03;
        economicParameters[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10] = 0.02;
        economicParameters[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110] = 0.018;
        economicParameters[TALVEK_ECONOMIC_SALARY_CEILING] = 52000.0;
        retirementRates[TALVEK_RATES_FIRST_AGE] = 55;
        retirementRates[TALVEK_RETIREMENT_RATES_LAST_AGE] = 65;
        for (int age = 55; age < 65; ++age) retirementRates[TALVEK_RETIREMENT_RATES_FIRST_VALUE + age - 55] = 0.1 + 0.02 * (age - 55);
        withdrawalRates[TALVEK_RATES_FIRST_AGE] = 20;
        withdrawalRates[TALVEK_WITHDRAWAL_RATES_LAST_AGE] = 50;
        for (int age = 20; age < 50; ++age) withdrawalRates[TALVEK_WITHDRAWAL_RATES_FIRST_VALUE + age - 20] = 0.12 - 0.003 * (age - 20);
        disabilityRates[TALVEK_RATES_FIRST_AGE] = 20;
        disabilityRates[TALVEK_DISABILITY_RATES_LAST_AGE] = 65;
        for (int age = 20; age < 65; ++age) disabilityRates[TALVEK_DISABILITY_RATES_FIRST_VALUE + age - 20] = 0.0005 + 0.0001 * (age - 20);
        salaryScale[TALVEK_RATES_FIRST_AGE] = 20;
        salaryScale[TALVEK_SALARY_SCALE_LAST_AGE] = 65;
        for (int age = 20; age <= 65; ++age) salaryScale[TALVEK_SALARY_SCALE_FIRST_VALUE + age - 20] = 0.04 - 0.0008 * (age - 20);
        for (int t = 0; t < TALVEK_YEAR_SLOTS; ++t) {
            yearlyRates[TALVEK_YEARLY_INFLATION + t] = 0.02;
            yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + t] = 0.01;
        }

        host.baseMortality = baseMortality.data();
        host.mortalityImprovement = mortalityImprovement.data();
        host.planParameters = planParameters.data();
        host.retirementFactors = retirementFactors.data();
        host.demographicParameters = demographicParameters.data();
        host.economicParameters = economicParameters.data();
        host.retirementRates = retirementRates.data();
        host.disabilityRates = disabilityRates.data();
        host.withdrawalRates = withdrawalRates.data();
        host.salaryScale = salaryScale.data();
        host.yearlyRates = yearlyRates.data();
        host.memberCounts = memberCounts.data();
        host.decrementCounts = decrementCounts.data();
        host.benefitCashflows = benefitCashflows.data();

        std::memset(basis.get(), 0, sizeof(Basis));
        buildMortalityTables(*basis, host, 2025, 2020);
        buildCeilingVectors(*basis, host);
        buildServiceBandKeys(*basis, host);
        buildDiscountVectors(*basis, host);
        buildAnnuityTable(*basis, host);
        buildBasisLookups(*basis, host);
    }
};
