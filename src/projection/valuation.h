// The valuation of one member of each status. Each adds the member's expected
// numbers, events and cash flows into the host's result arrays and changes
// nothing else; a sex other than M, m, F, f values nothing.
#pragma once

#include "core/host_arrays.h"
#include "basis/basis.h"
#include "core/member_record.h"
#include "projection/plan_terms.h"
#include "projection/results_writer.h"
#include "projection/year_rates.h"

struct ValuationContext {
    const Basis *basis;      // read-only tables of the run
    const HostArrays *host;  // assumptions in, result arrays out
    PlanTerms terms;         // the plan's terms, read from the host once per run
    const ValuationSinks *sinks = nullptr; // a valuation's arrays by status and member sums; null: plain
    const LaneEconomics *lanes = nullptr;  // a block of scenarios: each one's tables; null: one run's amounts
    const ScenarioSinks *scenarioSinks = nullptr; // where a block of scenarios adds its amounts
};

// A context whose terms are read from the host now.
inline ValuationContext valuationContext(const Basis *basis, const HostArrays *host) {
    return ValuationContext{basis, host, readPlanTerms(*host)};
}

// 'M'/'m' is male, 'F'/'f' female; anything else is neither.
inline bool isMale(char sex) { return sex == 'M' || sex == 'm'; }
inline bool isFemale(char sex) { return sex == 'F' || sex == 'f'; }

void valueActiveMember(const ValuationContext &context, const MemberRecord &member);       // status 1
void valuePensioner(const ValuationContext &context, const MemberRecord &member);          // status 2
void valueDisabilityPensioner(const ValuationContext &context, const MemberRecord &member); // status 3
void valueDeferredMember(const ValuationContext &context, const MemberRecord &member);     // status 4
void valueSurvivingSpouse(const ValuationContext &context, const MemberRecord &member);    // status 5

// A member of status 1..5 in a block of scenarios (context.lanes set), on
// the block's path.
void valueMemberInLanes(int32_t status, const ValuationContext &context, const MemberRecord &member);

// Whether this machine runs the path.
bool lanePathRuns(LanePath path);
