// Status classification and the quantities derived from a parsed member.
#include "input/member_status.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "support/test_support.h"

namespace {

MemberRecord memberWith(int32_t age, char sex, int32_t spouseAge) {
    MemberRecord member{};
    resetMemberRecord(member);
    member.age = age;
    member.sex = sex;
    member.spouseAge = spouseAge;
    return member;
}

void setStatus(MemberRecord &member, const char *code) { std::snprintf(member.statusCode, 6, "%s", code); }

class MemberStatusTest : public ::testing::Test {
protected:
    TestHost testHost;
    HostArrays host{};

    void SetUp() override {
        testHost.statusCodeText = {"", "A", "ABCDEF", "", "a", "A", "X", "Y", "Z", "W"};
        testHost.demographicParameters[4] = 3;
        testHost.planParameters[5] = 40;
        testHost.retirementRates[26] = 65;
        host = testHost.arrays();
    }
};

TEST_F(MemberStatusTest, TableIsPaddedAndCutToFiveCharacters) {
    const StatusTable table = makeStatusTable(host.statusCodes);
    EXPECT_STREQ(table.code[0], "?????");
    EXPECT_STREQ(table.code[1], "A    ");
    EXPECT_STREQ(table.code[2], "ABCDE");
    EXPECT_STREQ(table.code[3], "     ");
    EXPECT_STREQ(table.code[9], "W    ");
    EXPECT_STREQ(table.code[10], "");
}

TEST_F(MemberStatusTest, ClassificationIsExactAndCaseSensitive) {
    const StatusTable table = makeStatusTable(host.statusCodes);
    MemberRecord member = memberWith(40, 'M', 0);
    setStatus(member, "A    ");
    EXPECT_EQ(classifyMember(member, table), 1); // also status 5's code: the lower wins
    setStatus(member, "ABCDE");
    EXPECT_EQ(classifyMember(member, table), 2);
    setStatus(member, "     ");
    EXPECT_EQ(classifyMember(member, table), 3); // an empty host code matches an empty field
    setStatus(member, "a    ");
    EXPECT_EQ(classifyMember(member, table), 4);
    setStatus(member, "A   x");
    EXPECT_EQ(classifyMember(member, table), 0);
    setStatus(member, "X    ");
    EXPECT_EQ(classifyMember(member, table), 0); // codes 6..9 are never compared
    setStatus(member, "?????");
    EXPECT_EQ(classifyMember(member, table), 0);
    setStatus(member, "");
    EXPECT_EQ(classifyMember(member, table), 0); // before any line set a status
}

TEST_F(MemberStatusTest, UnknownStatusIsLoggedButNotCounted) {
    std::FILE *file = std::tmpfile();
    int32_t errorCount = 4;
    ErrorLog log{ReportSink{file, nullptr, false, 0}, &errorCount};
    MemberRecord member = memberWith(40, 'M', 0);
    setStatus(member, "a    ");
    std::snprintf(member.memberNumber, 11, "%s", "A123      ");
    reportUnknownStatus(log, member);
    EXPECT_EQ(errorCount, 4);
    std::rewind(file);
    char text[200] = {};
    EXPECT_GT(std::fread(text, 1, sizeof text - 1, file), 0u);
    EXPECT_STREQ(text, "Could not identify status  a      of member A123      \n");
    std::fclose(file);
}

TEST_F(MemberStatusTest, SpouseAgeDerivedFromTheAgeDifference) {
    MemberRecord male = memberWith(60, 'M', 0);
    deriveMemberQuantities(male, host);
    EXPECT_EQ(male.spouseAge, 57);
    EXPECT_EQ(male.youngerAge, 57);
    EXPECT_EQ(male.projectionYears, 64);

    MemberRecord female = memberWith(60, 'F', 0);
    deriveMemberQuantities(female, host);
    EXPECT_EQ(female.spouseAge, 63);
    EXPECT_EQ(female.youngerAge, 60);
    EXPECT_EQ(female.projectionYears, 61);

    // Lower-case m is male; an unknown sex is treated like a woman.
    MemberRecord lower = memberWith(60, 'm', 0);
    deriveMemberQuantities(lower, host);
    EXPECT_EQ(lower.spouseAge, 57);
    MemberRecord unknown = memberWith(60, 'U', 0);
    deriveMemberQuantities(unknown, host);
    EXPECT_EQ(unknown.spouseAge, 63);

    // A given spouse age is kept.
    MemberRecord given = memberWith(60, 'M', 70);
    deriveMemberQuantities(given, host);
    EXPECT_EQ(given.spouseAge, 70);
    EXPECT_EQ(given.youngerAge, 60);
    EXPECT_EQ(given.projectionYears, 61);

    // The difference is truncated toward zero.
    testHost.demographicParameters[4] = -2.9;
    MemberRecord negative = memberWith(60, 'M', 0);
    deriveMemberQuantities(negative, host);
    EXPECT_EQ(negative.spouseAge, 62);
}

TEST_F(MemberStatusTest, ProjectionYearsNeverExceedTheYearlyBlocks) {
    // An empty line's age 0: the younger age 0 would ask for 121 years.
    MemberRecord empty = memberWith(0, 'U', 0);
    deriveMemberQuantities(empty, host);
    EXPECT_EQ(empty.youngerAge, 0);
    EXPECT_EQ(empty.projectionYears, 111);

    MemberRecord youngSpouse = memberWith(20, 'M', 9);
    deriveMemberQuantities(youngSpouse, host);
    EXPECT_EQ(youngSpouse.projectionYears, 111);
    MemberRecord tenYears = memberWith(20, 'M', 10);
    deriveMemberQuantities(tenYears, host);
    EXPECT_EQ(tenYears.projectionYears, 111);
    MemberRecord elevenYears = memberWith(20, 'M', 11);
    deriveMemberQuantities(elevenYears, host);
    EXPECT_EQ(elevenYears.projectionYears, 110);
    MemberRecord oldest = memberWith(119, 'F', 0);
    deriveMemberQuantities(oldest, host);
    EXPECT_EQ(oldest.projectionYears, 2);
}

TEST_F(MemberStatusTest, ExtremeHostValuesSaturate) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    testHost.demographicParameters[4] = 1e300;
    testHost.retirementRates[26] = 1e300;
    MemberRecord female = memberWith(60, 'F', 0);
    deriveMemberQuantities(female, host);
    EXPECT_EQ(female.spouseAge, kMax);
    EXPECT_EQ(female.youngerAge, 60);
    EXPECT_EQ(female.yearsToLastRetirementAge, kMax - 59);
    MemberRecord empty = memberWith(0, 'U', 0);
    deriveMemberQuantities(empty, host);
    EXPECT_EQ(empty.yearsToLastRetirementAge, kMax);

    testHost.demographicParameters[4] = -1e300;
    MemberRecord male = memberWith(60, 'M', 0);
    deriveMemberQuantities(male, host);
    EXPECT_EQ(male.spouseAge, kMax);
    MemberRecord femaleNegative = memberWith(60, 'F', 0);
    deriveMemberQuantities(femaleNegative, host);
    EXPECT_EQ(femaleNegative.spouseAge, std::numeric_limits<int32_t>::min() + 60);
    EXPECT_EQ(femaleNegative.projectionYears, 111);
}

TEST_F(MemberStatusTest, YearsToLastRetirementAge) {
    MemberRecord young = memberWith(40, 'M', 0);
    deriveMemberQuantities(young, host);
    EXPECT_EQ(young.yearsToLastRetirementAge, 26);
    MemberRecord old = memberWith(70, 'M', 0);
    deriveMemberQuantities(old, host);
    EXPECT_EQ(old.yearsToLastRetirementAge, -4);
}

TEST_F(MemberStatusTest, ServiceInYears) {
    struct Case {
        double withGuarantee, withoutGuarantee, averagingYears;
        int32_t whole, capped;
    };
    const Case cases[] = {
        {1000, 100, 40, 21, 22},   // 21.0815 years: any part year rounds up
        {1000, 100, 15, 21, 15},   // capped by the averaging years
        {1043.57, 0, 40, 19, 20},  // just below 20 years
        {10, 0, 40, 0, 1},
        {0, 0, 40, 0, 0},
        {365.25 / 7 * 5, 0, 40, 5, 5}, // exactly 5 years
        {365.25 / 7 * 5 + 0.04, 0, 40, 5, 5}, // within 0.001 year of 5
    };
    for (const Case &c : cases) {
        testHost.planParameters[5] = c.averagingYears;
        MemberRecord member = memberWith(40, 'M', 0);
        member.serviceWithGuarantee = c.withGuarantee;
        member.serviceWithoutGuarantee = c.withoutGuarantee;
        deriveMemberQuantities(member, host);
        EXPECT_EQ(member.wholeServiceYears, c.whole) << c.withGuarantee;
        EXPECT_EQ(member.cappedServiceYears, c.capped) << c.withGuarantee;
    }
    MemberRecord member = memberWith(40, 'M', 0);
    member.serviceWithGuarantee = 1000;
    member.serviceWithoutGuarantee = 100;
    deriveMemberQuantities(member, host);
    EXPECT_NEAR(member.serviceYears, 21.0815, 5e-5);
}

} // namespace
