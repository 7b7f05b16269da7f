// The member listing: every line read, echoed as the run understood it.
#include "input/member_listing.h"

#include <cstring>

#include "input/member_parser.h"
#include "input/report_format.h"

namespace {

// Large enough for the line with every amount at the largest double, so that
// a line is always written whole.
constexpr int kListingBufferSize = 2048;

constexpr const char *kHeaderLine1 =
    " Member    Status  Age  Sex     Annual    Service   Service   Current  Marital  Spouse  Retired\n";
constexpr const char *kHeaderLine2 =
    " Number                         Salary    WithGtee   NoGtee   Pension  Status     Age    Years\n";

} // namespace

void writeListingHeaders(ReportSink &sink) {
    writeLogLine(sink, kHeaderLine1, static_cast<int>(std::strlen(kHeaderLine1)));
    writeLogLine(sink, kHeaderLine2, static_cast<int>(std::strlen(kHeaderLine2)));
}

// " %s %s  %3i   %c    %9.2f %7.1f     %7.1f %9.2f     %c      %3i    %3i\n",
// built field by field: the same bytes as the C formatter, without its cost.
void writeListingLine(ReportSink &sink, const MemberRecord &member) {
    char line[kListingBufferSize];
    char *out = line;
    out = appendChar(out, ' ');
    out = appendText(out, member.memberNumber);
    out = appendChar(out, ' ');
    out = appendText(out, member.statusCode);
    out = appendText(out, "  ");
    out = appendInt(out, member.age, 3);
    out = appendText(out, "   ");
    out = appendChar(out, member.sex);
    out = appendText(out, "    ");
    out = appendFixed(out, member.annualSalary, 9, 2);
    out = appendChar(out, ' ');
    out = appendFixed(out, member.serviceWithGuarantee, 7, 1);
    out = appendText(out, "     ");
    out = appendFixed(out, member.serviceWithoutGuarantee, 7, 1);
    out = appendChar(out, ' ');
    out = appendFixed(out, member.currentPension, 9, 2);
    out = appendText(out, "     ");
    out = appendChar(out, member.maritalStatus);
    out = appendText(out, "      ");
    out = appendInt(out, member.spouseAge, 3);
    out = appendText(out, "    ");
    out = appendInt(out, member.yearsRetired, 3);
    out = appendChar(out, '\n');
    // The whole line: a NUL letter in it is written as a byte and the line
    // keeps its line feed.
    writeLogLine(sink, line, static_cast<int>(out - line));
}
