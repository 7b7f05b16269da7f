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
    std::vector<double> baseMortality = std::vector<double>(241);
    std::vector<double> mortalityImprovement = std::vector<double>(241);
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
    std::unique_ptr<Basis> basis = std::make_unique<Basis>();
    HostArrays host{};

    BenchPlan() {
        for (int x = 1; x <= 119; ++x) {
            baseMortality[x] = std::fmin(1.0, 0.00005 * std::exp(0.095 * x));
            baseMortality[x + 121] = std::fmin(1.0, 0.00003 * std::exp(0.097 * x));
            mortalityImprovement[x] = x < 90 ? 0.025 : 0.015;
            mortalityImprovement[x + 121] = x < 90 ? 0.02 : 0.012;
        }
        const double plan[16] = {0, 0.05, 0.07, 0.01, 0.02, 5, 0.015, 0.018, 0.002,
                                 0.75, 0, 0, 0.6, 5, 60, 64};
        for (int i = 0; i < 16; ++i) planParameters[i] = plan[i];
        retirementFactors[1] = 55.0;
        retirementFactors[21] = 65.0;
        for (int k = 1; k <= kServiceBands; ++k) {
            retirementFactors[22 * k] = 5.0 * (k - 1);
            for (int v = 1; v <= 11; ++v) {
                retirementFactors[22 * k + v] = (0.7 + 0.03 * (v - 1)) * (0.9 + 0.01 * k);
            }
        }
        demographicParameters[1] = 1.0;
        demographicParameters[2] = 2.0;
        demographicParameters[3] = 0.3;
        demographicParameters[4] = 3.0;
        economicParameters[3] = 0.02;
        economicParameters[11] = 0.035;
        economicParameters[12] = 0.03;
        economicParameters[15] = 0.02;
        economicParameters[16] = 0.018;
        economicParameters[19] = 52000.0;
        retirementRates[1] = 55;
        retirementRates[26] = 65;
        for (int age = 55; age < 65; ++age) retirementRates[28 + age - 55] = 0.1 + 0.02 * (age - 55);
        withdrawalRates[1] = 20;
        withdrawalRates[31] = 50;
        for (int age = 20; age < 50; ++age) withdrawalRates[33 + age - 20] = 0.12 - 0.003 * (age - 20);
        disabilityRates[1] = 20;
        disabilityRates[46] = 65;
        for (int age = 20; age < 65; ++age) disabilityRates[48 + age - 20] = 0.0005 + 0.0001 * (age - 20);
        salaryScale[1] = 20;
        salaryScale[46] = 65;
        for (int age = 20; age <= 65; ++age) salaryScale[48 + age - 20] = 0.04 - 0.0008 * (age - 20);
        for (int t = 0; t < 111; ++t) {
            yearlyRates[t] = 0.02;
            yearlyRates[t + 111] = 0.01;
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
