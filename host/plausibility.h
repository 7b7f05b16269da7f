// Plausibility of one member as the valuation will read it: values that
// read correctly but are doubtful as data. They are warnings: the run goes
// on, and data_check.csv lists them for the actuary to clear with the plan's
// administrator.
#pragma once

#include <cstdint>

#include "check_rules.h"
#include "library_reading.h"
#include "plan_basis.h"

constexpr int32_t kServiceStartAge = 15;    // service longer than the age less this is doubtful
constexpr int32_t kYoungestSpouse = 16;     // a spouse younger than this is doubtful
constexpr int32_t kEarliestRetirement = 40; // years retired more than the age less this are doubtful
constexpr int32_t kYoungestPensioner = 18;  // a pensioner or disabled member younger than this is doubtful
constexpr int32_t kMostWarningsPerMember = 8;

// The ages the basis's decrement tables cover for members in service and
// deferred members.
struct PlausibilityLimits {
    int32_t youngestTableAge;   // the first age of the withdrawal, disability and retirement rates, the lowest
    int32_t allRetiredAge;      // everyone in service has retired at this age: the age after the last retirement rate
    int32_t deferredRetirementAge; // deferred members retire at this age (the basis's, or allRetiredAge)
};
PlausibilityLimits plausibilityLimits(const PlanBasis &basis);

struct MemberWarning {
    CheckRule rule;
    int32_t field;     // the field the warning is about
    char detail[96];   // e.g. "95.8 years of service at age 20"
};

// The warnings of one member read without rejection, of status 1..5.
// Returns how many were written to out (at most kMostWarningsPerMember).
int32_t plausibilityWarnings(const LibraryMember &member, int32_t status, const PlausibilityLimits &limits,
                             MemberWarning *out);
