// Members in service valued per second: the whole yearly projection of one
// member (decrements, salary, guarantee cohorts, exits) on a basis built from
// the assumptions of a typical plan.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_plan.h"
#include "core/member_record.h"
#include "projection/valuation.h"

namespace {

// A man of 35 with 8 years of service, his wife 3 years younger: the
// longest common kind of projection, through every state of the plan.
MemberRecord typicalMember() {
    MemberRecord member{};
    member.age = 35;
    member.sex = 'M';
    member.spouseAge = 32;
    member.annualSalary = 61000.0;
    member.serviceWithGuarantee = 300.0;
    member.serviceWithoutGuarantee = 117.0;
    member.youngerAge = 32;
    member.projectionYears = 121 - 32;
    member.yearsToLastRetirementAge = 65 - 35 + 1;
    member.serviceYears = 417.0 / 52.17857142857143;
    member.wholeServiceYears = 7;
    member.cappedServiceYears = 5;
    return member;
}

void ActiveMemberValuation(benchmark::State &state) {
    BenchPlan plan;
    const ValuationContext context = valuationContext(plan.basis.get(), &plan.host);
    const MemberRecord member = typicalMember();
    for (auto _ : state) {
        valueActiveMember(context, member);
        benchmark::DoNotOptimize(plan.benefitCashflows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ActiveMemberValuation);

} // namespace
