// Time of the whole basis build of one run: mortality tables, ceiling,
// service bands, discount and indexation vectors, the deferred annuity table
// and the run's lookups, on the typical plan of the benchmarks.
#include <cstring>
#include <memory>

#include <benchmark/benchmark.h>

#include "bench_plan.h"

namespace {

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
    BenchPlan plan;
    const HostArrays host = plan.host;
    auto basis = std::make_unique<Basis>();
    for (auto _ : state) {
        buildMortalityTables(*basis, host, 2015, 2011);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MortalityTables)->Unit(benchmark::kMicrosecond);

void BM_AnnuityTable(benchmark::State &state) {
    BenchPlan plan;
    const HostArrays host = plan.host;
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
