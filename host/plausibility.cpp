#include "plausibility.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kWeeksPerYear = 365.25 / 7; // 52.17857142857143
constexpr int32_t kInService = 1;
constexpr int32_t kPensioner = 2;
constexpr int32_t kDisabled = 3;
constexpr int32_t kDeferred = 4;
constexpr int32_t kSurvivingSpouse = 5;

struct WarningList {
    MemberWarning *out;
    int32_t count;
};

template <typename... Values>
void add(WarningList &list, CheckRule rule, int32_t field, const char *format, Values... values) {
    if (list.count >= kMostWarningsPerMember) return;
    MemberWarning &warning = list.out[list.count++];
    warning.rule = rule;
    warning.field = field;
    // a message without values is copied as it is, never read as a format
    if constexpr (sizeof...(values) == 0) {
        std::snprintf(warning.detail, sizeof warning.detail, "%s", format);
    } else {
        std::snprintf(warning.detail, sizeof warning.detail, format, values...);
    }
}

// Service in years = weeks of service / (365.25 / 7), as the valuation counts it.
void checkService(const LibraryMember &m, WarningList &list) {
    const double serviceYears = (m.serviceWithGuarantee + m.serviceWithoutGuarantee) / kWeeksPerYear;
    if (serviceYears > 0 && serviceYears > m.age - kServiceStartAge) {
        add(list, RuleServiceLongerThanAge, ServiceWithGuaranteeField, "%.1f years of service at age %d",
            serviceYears, m.age);
    }
}

// The ages of a member in service or deferred against the decrement tables.
void checkTableAges(const LibraryMember &m, int32_t status, const PlausibilityLimits &limits, WarningList &list) {
    if (status == kInService && (m.age < limits.youngestTableAge || m.age > limits.allRetiredAge)) {
        add(list, RuleAgeOutsideTables, AgeField, "in service at age %d; the tables cover ages %d to %d", m.age,
            limits.youngestTableAge, limits.allRetiredAge);
    }
    if (status == kDeferred && m.age > limits.deferredRetirementAge) {
        add(list, RuleAgeOutsideTables, AgeField, "deferred at age %d; deferred members retire at %d", m.age,
            limits.deferredRetirementAge);
    }
}

} // namespace

PlausibilityLimits plausibilityLimits(const PlanBasis &basis) {
    PlausibilityLimits limits{};
    limits.youngestTableAge = std::min({basis.withdrawalRates.firstAge, basis.disabilityRates.firstAge,
                                        basis.retirementRates.firstAge});
    // everyone still in service retires at the age after the last retirement rate
    limits.allRetiredAge = basis.retirementRates.firstAge + static_cast<int32_t>(basis.retirementRates.values.size());
    limits.deferredRetirementAge = basis.deferredRetirementAge != 0 ? basis.deferredRetirementAge : limits.allRetiredAge;
    return limits;
}

int32_t plausibilityWarnings(const LibraryMember &m, int32_t status, const PlausibilityLimits &limits,
                             MemberWarning *out) {
    WarningList list{out, 0};
    checkService(m, list);
    // a spouse age of 0 means none was given
    if (m.spouseAge != 0 && m.spouseAge < kYoungestSpouse) {
        add(list, RuleYoungSpouse, SpouseAgeField, "a spouse aged %d", m.spouseAge);
    }
    if (m.yearsRetired > 0 && m.yearsRetired > m.age - kEarliestRetirement) {
        add(list, RuleRetiredYoung, YearsRetiredField, "%d years retired at age %d: retired at %d", m.yearsRetired,
            m.age, m.age - m.yearsRetired);
    }
    if ((status == kPensioner || status == kDisabled) && m.age < kYoungestPensioner) {
        add(list, RuleYoungPensioner, AgeField, "in payment at age %d", m.age);
    }
    if (status == kInService && m.annualSalary == 0) {
        add(list, RuleNoSalary, AnnualSalaryField, "in service with salary 0");
    }
    if ((status == kPensioner || status == kDisabled || status == kSurvivingSpouse) && m.currentPension == 0) {
        add(list, RuleNoPension, CurrentPensionField, "in payment with pension 0");
    }
    checkTableAges(m, status, limits, list);
    return list.count;
}
