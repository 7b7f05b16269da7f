// The member listing: its headers and one line per line read, written whole.
#include "input/member_listing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "input/member_parser.h"
#include "input/member_status.h"
#include "support/test_support.h"

namespace {

class MemberListingTest : public ::testing::Test {
protected:
    std::FILE *file = std::tmpfile();
    ReportSink sink{file, nullptr, false, 0};
    void TearDown() override { std::fclose(file); }

    std::string written() {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
        return text;
    }
};

TEST_F(MemberListingTest, HeaderLines) {
    writeListingHeaders(sink);
    EXPECT_EQ(written(),
              " Member    Status  Age  Sex     Annual    Service   Service   Current  Marital  Spouse  Retired\n"
              " Number                         Salary    WithGtee   NoGtee   Pension  Status     Age    Years\n");
}

TEST_F(MemberListingTest, ParsedMemberShowsTheDerivedSpouseAge) {
    TestHost testHost;
    testHost.demographicParameters[4] = 3;
    const HostArrays host = testHost.arrays();
    int16_t columnMap[kMapColumns + 1] = {};
    for (int16_t code = 1; code <= 14; ++code) columnMap[code] = code;
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);
    const char text[] = "A123\tA\t45\tM\t30000.50\t520\t0\t0\tM\t0\t0\t0\t0\t0\t\n";
    std::memcpy(line, text, sizeof text);
    int32_t errorCount = 0;
    ErrorLog log{ReportSink{file, nullptr, false, 0}, &errorCount};
    MemberRecord member{};
    resetMemberRecord(member);
    ASSERT_TRUE(parseMemberLine(line, makeLineLayout(1, columnMap), member, log));
    deriveMemberQuantities(member, host);
    writeListingLine(sink, member);
    // Number, status, age, sex, salary, the two services, pension, marital
    // status, spouse age and years retired in their widths.
    EXPECT_EQ(written(), std::string(" A123      ") + " A    " + "   45" + "   M" + "     30000.50" +
                             "   520.0" + "         0.0" + "      0.00" + "     M" + "       42" +
                             "      0" + "\n");
}

TEST_F(MemberListingTest, RejectedMemberShowsTheFieldsAsFarAsRead) {
    MemberRecord member{};
    resetMemberRecord(member);
    std::memcpy(member.memberNumber, "ABCDEFGHIJ", 11); // a longer number, cut to 10
    std::memcpy(member.statusCode, "A    ", 6);
    member.age = 130;
    writeListingLine(sink, member);
    EXPECT_EQ(written(),
              " ABCDEFGHIJ A      130   U         0.00     0.0         0.0      0.00     ?        0      0\n");
}

TEST_F(MemberListingTest, LinesAreWrittenWhole) {
    MemberRecord member{};
    resetMemberRecord(member);
    member.annualSalary = 1e300;
    member.currentPension = -1e300;
    member.sex = '\0'; // a NUL letter is written as a byte
    writeListingLine(sink, member);
    const std::string text = written();
    EXPECT_GT(text.size(), 600u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    EXPECT_EQ(text.substr(0, 12), std::string("      0   \0 ", 12));
    // Every character of both amounts is there: 301 digits, a point and two decimals.
    EXPECT_EQ(text.find(".00 "), 15 + 301);
}

} // namespace
