// The plausibility rules at their limits.
#include <gtest/gtest.h>

#include <set>

#include "plausibility.h"

namespace {

// In service at 40 with a salary: nothing to say.
LibraryMember plainMember() {
    LibraryMember m;
    m.age = 40;
    m.sex = 'M';
    m.annualSalary = 30000;
    m.currentPension = 10000;
    return m;
}

const PlausibilityLimits kLimits{20, 67, 65};

std::multiset<CheckRule> rulesOf(const LibraryMember &m, int32_t status) {
    MemberWarning warnings[kMostWarningsPerMember];
    const int32_t count = plausibilityWarnings(m, status, kLimits, warnings);
    std::multiset<CheckRule> rules;
    for (int32_t i = 0; i < count; ++i) rules.insert(warnings[i].rule);
    return rules;
}

bool warns(const LibraryMember &m, int32_t status, CheckRule rule) { return rulesOf(m, status).count(rule) == 1; }

} // namespace

TEST(Plausibility, APlainMemberOfEveryStatusHasNoWarning) {
    for (int32_t status = 1; status <= 5; ++status) {
        LibraryMember m = plainMember();
        EXPECT_TRUE(rulesOf(m, status).empty()) << status;
    }
}

TEST(Plausibility, ServiceLongerThanTheAgeLess15Years) {
    LibraryMember m = plainMember();
    m.age = 20;
    // 5 years of service at age 20 are just allowed; a week more is not
    m.serviceWithGuarantee = 5 * 365.25 / 7;
    EXPECT_FALSE(warns(m, 1, RuleServiceLongerThanAge));
    m.serviceWithoutGuarantee = 1;
    EXPECT_TRUE(warns(m, 1, RuleServiceLongerThanAge));
    m.serviceWithGuarantee = 5000; // 96 years
    m.serviceWithoutGuarantee = 0;
    MemberWarning warnings[kMostWarningsPerMember];
    ASSERT_EQ(plausibilityWarnings(m, 1, kLimits, warnings), 1);
    EXPECT_STREQ(warnings[0].detail, "95.8 years of service at age 20");
    EXPECT_EQ(warnings[0].field, ServiceWithGuaranteeField);
}

TEST(Plausibility, SpousePensionerAndRetirementAges) {
    LibraryMember m = plainMember();
    m.spouseAge = 16;
    EXPECT_FALSE(warns(m, 2, RuleYoungSpouse));
    m.spouseAge = 15;
    EXPECT_TRUE(warns(m, 2, RuleYoungSpouse));
    m.spouseAge = 0; // not given
    EXPECT_FALSE(warns(m, 2, RuleYoungSpouse));

    m.age = 70;
    m.yearsRetired = 30; // retired at 40
    EXPECT_FALSE(warns(m, 2, RuleRetiredYoung));
    m.yearsRetired = 31;
    EXPECT_TRUE(warns(m, 2, RuleRetiredYoung));

    LibraryMember young = plainMember();
    young.age = 17;
    EXPECT_TRUE(warns(young, 2, RuleYoungPensioner));
    EXPECT_TRUE(warns(young, 3, RuleYoungPensioner));
    EXPECT_FALSE(warns(young, 5, RuleYoungPensioner)); // a young surviving spouse is an orphan's case, not this rule
    young.age = 18;
    EXPECT_FALSE(warns(young, 2, RuleYoungPensioner));
}

TEST(Plausibility, SalaryAndPensionOfZero) {
    LibraryMember m = plainMember();
    m.annualSalary = 0;
    EXPECT_TRUE(warns(m, 1, RuleNoSalary));
    EXPECT_FALSE(warns(m, 4, RuleNoSalary));
    m.currentPension = 0;
    for (int32_t status : {2, 3, 5}) EXPECT_TRUE(warns(m, status, RuleNoPension)) << status;
    EXPECT_FALSE(warns(m, 4, RuleNoPension));
}

TEST(Plausibility, AgesOutsideTheDecrementTables) {
    LibraryMember m = plainMember();
    for (int32_t age : {20, 67}) {
        m.age = age;
        EXPECT_FALSE(warns(m, 1, RuleAgeOutsideTables)) << age;
    }
    for (int32_t age : {19, 68}) {
        m.age = age;
        EXPECT_TRUE(warns(m, 1, RuleAgeOutsideTables)) << age;
    }
    m.age = 65;
    EXPECT_FALSE(warns(m, 4, RuleAgeOutsideTables));
    m.age = 66;
    EXPECT_TRUE(warns(m, 4, RuleAgeOutsideTables));
}

TEST(Plausibility, TheLimitsComeFromTheBasis) {
    PlanBasis basis;
    basis.withdrawalRates = AgeTable{20, {0.1, 0.1}};
    basis.disabilityRates = AgeTable{18, {0.001}};
    basis.retirementRates = AgeTable{55, std::vector<double>(12, 0.2)}; // 55..66: all retired at 67
    const PlausibilityLimits limits = plausibilityLimits(basis);
    EXPECT_EQ(limits.youngestTableAge, 18);
    EXPECT_EQ(limits.allRetiredAge, 67);
    EXPECT_EQ(limits.deferredRetirementAge, 67);
    basis.deferredRetirementAge = 63;
    EXPECT_EQ(plausibilityLimits(basis).deferredRetirementAge, 63);
}
