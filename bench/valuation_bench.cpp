// Members valued per second, status by status, on the typical plan: the
// yearly projection alone (no reading, no listing), over a spread of ages so
// that short and long projections both count.
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_plan.h"
#include "core/member_record.h"
#include "projection/valuation.h"

namespace {

constexpr int kMembersPerBatch = 1000;

// A member of the given status; i spreads the ages, sexes and amounts.
MemberRecord benchMember(int status, int i) {
    MemberRecord member{};
    member.sex = i % 2 == 0 ? 'M' : 'F';
    member.maritalStatus = i % 3 == 0 ? 'S' : 'M';
    switch (status) {
    case 1:
        member.age = 20 + i % 45;
        member.annualSalary = 30000.0 + 97.0 * (i % 500);
        member.serviceWithGuarantee = 52.0 * (i % (member.age - 18));
        member.serviceWithoutGuarantee = 26.0 * (i % 7);
        break;
    case 2:
        member.age = 60 + i % 36;
        member.currentPension = 12000.0 + 31.0 * (i % 400);
        member.guaranteedFraction = 0.6;
        member.yearsRetired = i % 12;
        member.bridgePension = i % 4 == 0 ? 3000.0 : 0.0;
        break;
    case 3:
        member.age = 30 + i % 50;
        member.currentPension = 9000.0 + 17.0 * (i % 300);
        member.guaranteedFraction = 1.0;
        break;
    case 4:
        member.age = 30 + i % 30;
        member.averageSalary = 40000.0 + 53.0 * (i % 300);
        member.serviceWithGuarantee = 52.0 * (3 + i % 20);
        member.serviceWithoutGuarantee = 52.0 * (i % 5);
        break;
    default:
        member.age = 55 + i % 40;
        member.currentPension = 8000.0 + 11.0 * (i % 300);
        member.guaranteedFraction = 0.5;
        break;
    }
    // the derived quantities, as a run works them out (spouse 3 years apart)
    member.spouseAge = member.sex == 'M' ? member.age - 3 : member.age + 3;
    member.youngerAge = member.age < member.spouseAge ? member.age : member.spouseAge;
    member.projectionYears = 121 - member.youngerAge > 111 ? 111 : 121 - member.youngerAge;
    member.yearsToLastRetirementAge = 65 - member.age + 1;
    member.serviceYears = (member.serviceWithGuarantee + member.serviceWithoutGuarantee) / 52.17857142857143;
    member.wholeServiceYears = static_cast<int32_t>(member.serviceYears);
    const int32_t rounded = static_cast<int32_t>(member.serviceYears + 0.999);
    member.cappedServiceYears = rounded < 5 ? rounded : 5;
    return member;
}

// What a valuation adds into beside the totals: the arrays of the status,
// the two limited attributions' cash flows, and with rows the member's sums.
struct BenchSinks {
    std::vector<double> counts = std::vector<double>(TALVEK_MEMBER_COUNTS_SIZE);
    std::vector<double> events = std::vector<double>(TALVEK_DECREMENT_COUNTS_SIZE);
    std::vector<double> flows = std::vector<double>(3 * TALVEK_BENEFIT_CASHFLOWS_SIZE);
    std::vector<double> factors = std::vector<double>(TALVEK_YEAR_SLOTS, 0.97);
    MemberSums member{};
    ValuationSinks sinks{};

    explicit BenchSinks(bool perMember) {
        sinks = ValuationSinks{counts.data(), events.data(), flows.data(),
                               flows.data() + TALVEK_BENEFIT_CASHFLOWS_SIZE,
                               flows.data() + 2 * TALVEK_BENEFIT_CASHFLOWS_SIZE,
                               perMember ? &member : nullptr, factors.data(), factors.data()};
    }
};

enum class Figures { arrays, presentValues, perMember };

void valueBatch(benchmark::State &state, int status, Figures figures = Figures::arrays) {
    BenchPlan plan;
    ValuationContext context = valuationContext(plan.basis.get(), &plan.host);
    BenchSinks sinks(figures == Figures::perMember);
    if (figures != Figures::arrays) context.sinks = &sinks.sinks;
    std::vector<MemberRecord> members;
    for (int i = 0; i < kMembersPerBatch; ++i) members.push_back(benchMember(status, i));
    void (*value)(const ValuationContext &, const MemberRecord &) =
        status == 1 ? valueActiveMember
        : status == 2 ? valuePensioner
        : status == 3 ? valueDisabilityPensioner
        : status == 4 ? valueDeferredMember
                      : valueSurvivingSpouse;
    for (auto _ : state) {
        for (const MemberRecord &member : members) value(context, member);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kMembersPerBatch);
}

void InService(benchmark::State &state) { valueBatch(state, 1); }
// the three attributions of service side by side, and with the member's own sums
void InServiceWithPresentValues(benchmark::State &state) { valueBatch(state, 1, Figures::presentValues); }
void InServicePerMember(benchmark::State &state) { valueBatch(state, 1, Figures::perMember); }
void PensionersWithPresentValues(benchmark::State &state) { valueBatch(state, 2, Figures::presentValues); }
void Pensioners(benchmark::State &state) { valueBatch(state, 2); }
void DisabilityPensioners(benchmark::State &state) { valueBatch(state, 3); }
void DeferredMembers(benchmark::State &state) { valueBatch(state, 4); }
void SurvivingSpouses(benchmark::State &state) { valueBatch(state, 5); }
BENCHMARK(InService)->Unit(benchmark::kMillisecond);
BENCHMARK(InServiceWithPresentValues)->Unit(benchmark::kMillisecond);
BENCHMARK(InServicePerMember)->Unit(benchmark::kMillisecond);
BENCHMARK(PensionersWithPresentValues)->Unit(benchmark::kMillisecond);
BENCHMARK(Pensioners)->Unit(benchmark::kMillisecond);
BENCHMARK(DisabilityPensioners)->Unit(benchmark::kMillisecond);
BENCHMARK(DeferredMembers)->Unit(benchmark::kMillisecond);
BENCHMARK(SurvivingSpouses)->Unit(benchmark::kMillisecond);

} // namespace
