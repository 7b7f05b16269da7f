// The member listing: every line read, echoed as the run understood it.
#include "input/member_listing.h"

#include <cstring>

#include "input/member_parser.h"

namespace {

// Large enough for the line with every amount at the largest double, so that
// a line is always written whole.
constexpr int kListingBufferSize = 2048;

constexpr const char *kHeaderLine1 =
    " Member    Status  Age  Sex     Annual    Service   Service   Current  Marital  Spouse  Retired\n";
constexpr const char *kHeaderLine2 =
    " Number                         Salary    WithGtee   NoGtee   Pension  Status     Age    Years\n";

} // namespace

void writeListingHeaders(std::FILE *file) {
    writeLogLine(file, kHeaderLine1, static_cast<int>(std::strlen(kHeaderLine1)));
    writeLogLine(file, kHeaderLine2, static_cast<int>(std::strlen(kHeaderLine2)));
}

void writeListingLine(std::FILE *file, const MemberRecord &member) {
    char line[kListingBufferSize];
    int length = std::snprintf(line, sizeof line,
                               " %s %s  %3i   %c    %9.2f %7.1f     %7.1f %9.2f     %c      %3i    %3i\n",
                               member.memberNumber, member.statusCode, member.age, member.sex,
                               member.annualSalary, member.serviceWithGuarantee,
                               member.serviceWithoutGuarantee, member.currentPension,
                               member.maritalStatus, member.spouseAge, member.yearsRetired);
    if (length >= kListingBufferSize) length = kListingBufferSize - 1;
    // The returned length, not the first NUL: a NUL letter in the line is
    // written as a byte and the line keeps its line feed.
    writeLogLine(file, line, length);
}
