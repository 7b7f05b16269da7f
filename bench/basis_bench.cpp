// Time of the whole basis build of one run: mortality tables, ceiling,
// service bands, discount and indexation vectors and the deferred annuity
// table, on a plan of typical size.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_plan.h"

#include "api/host_arrays.h"
#include "basis/basis.h"

namespace {

// Host arrays of the documented sizes with assumptions of a typical plan:
// exponential mortality, 1.5 % to 2.5 % improvement, retirement ages 55..65
// in ten service rows, a 3-year spouse age difference and a 5-year guarantee.
struct BenchHost {
    std::vector<double> baseMortality = std::vector<double>(241);
    std::vector<double> mortalityImprovement = std::vector<double>(241);
    std::vector<double> planParameters = std::vector<double>(16);
    std::vector<double> retirementFactors = std::vector<double>(242);
    std::vector<double> demographicParameters = std::vector<double>(6);
    std::vector<double> economicParameters = std::vector<double>(20);
    std::vector<double> yearlyRates = std::vector<double>(222);

    BenchHost() {
        for (int x = 1; x <= 119; ++x) {
            baseMortality[x] = std::fmin(1.0, 0.00005 * std::exp(0.095 * x));
            baseMortality[x + 121] = std::fmin(1.0, 0.00003 * std::exp(0.097 * x));
            mortalityImprovement[x] = x < 90 ? 0.025 : 0.015;
            mortalityImprovement[x + 121] = x < 90 ? 0.02 : 0.012;
        }
        planParameters[5] = 5.0;
        planParameters[9] = 0.75;
        planParameters[12] = 0.6;
        planParameters[13] = 5.0;
        retirementFactors[1] = 55.0;
        retirementFactors[21] = 65.0;
        for (int k = 1; k <= kServiceBands; ++k) {
            retirementFactors[22 * k] = 5.0 * (k - 1);
            for (int v = 1; v <= 11; ++v) {
                retirementFactors[22 * k + v] = (0.7 + 0.03 * (v - 1)) * (0.9 + 0.01 * k);
            }
        }
        demographicParameters[4] = 3.0;
        economicParameters[3] = 0.02;
        economicParameters[11] = 0.035;
        economicParameters[12] = 0.03;
        economicParameters[15] = 0.02;
        economicParameters[16] = 0.018;
        economicParameters[19] = 52000.0;
        for (int t = 0; t < 111; ++t) {
            yearlyRates[t] = 0.02;
            yearlyRates[t + 111] = 0.01;
        }
    }

    HostArrays arrays() {
        HostArrays host{};
        host.baseMortality = baseMortality.data();
        host.mortalityImprovement = mortalityImprovement.data();
        host.planParameters = planParameters.data();
        host.retirementFactors = retirementFactors.data();
        host.demographicParameters = demographicParameters.data();
        host.economicParameters = economicParameters.data();
        host.yearlyRates = yearlyRates.data();
        return host;
    }
};

// Everything a run builds before its first member, lookups included, on the
// typical plan of the valuation benchmarks.
void BM_BasisBuild(benchmark::State &state) {
    BenchPlan plan;
    const HostArrays host = plan.host;
    auto basis = std::make_unique<Basis>();
    for (auto _ : state) {
        // A run zeroes the basis before building it.
        std::memset(basis.get(), 0, sizeof(Basis));
        buildMortalityTables(*basis, host, 2015, 2011);
        buildCeilingVectors(*basis, host);
        buildServiceBandKeys(*basis, host);
        buildDiscountVectors(*basis, host);
        buildAnnuityTable(*basis, host);
        buildBasisLookups(*basis, host);
        benchmark::DoNotOptimize(basis->deferredAnnuityTable[0][0][0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BasisBuild)->Unit(benchmark::kMicrosecond);

void BM_MortalityTables(benchmark::State &state) {
    BenchHost bench;
    const HostArrays host = bench.arrays();
    auto basis = std::make_unique<Basis>();
    for (auto _ : state) {
        buildMortalityTables(*basis, host, 2015, 2011);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MortalityTables)->Unit(benchmark::kMicrosecond);

void BM_AnnuityTable(benchmark::State &state) {
    BenchHost bench;
    const HostArrays host = bench.arrays();
    auto basis = std::make_unique<Basis>();
    std::memset(basis.get(), 0, sizeof(Basis));
    buildMortalityTables(*basis, host, 2015, 2011);
    buildDiscountVectors(*basis, host);
    for (auto _ : state) {
        std::memset(basis->deferredAnnuityTable, 0, sizeof(basis->deferredAnnuityTable));
        buildAnnuityTable(*basis, host);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AnnuityTable)->Unit(benchmark::kMicrosecond);

} // namespace
