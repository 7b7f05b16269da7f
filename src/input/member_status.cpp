// The status table, the classification of a member by its status text, and
// the quantities derived from a member's fields before any valuation.
#include "input/member_status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "input/report_format.h"

namespace {

constexpr int kStatusWidth = 5;
constexpr int kClassifiedStatuses = 5;           // table entries 1..5 are compared
constexpr double kWeeksPerYear = 365.25 / 7;     // 52.17857142857143
constexpr double kPartYearRoundUp = 0.999;       // service beyond a whole year by more rounds up
constexpr int32_t kLastAge = 121;                // the member and spouse are followed up to it
constexpr int32_t kProjectionYearsLimit = 111;   // the yearly blocks hold years 0..110
constexpr int kMessageBufferSize = 512;          // status and member number are short texts

int32_t saturateToInt(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool isMale(char sex) { return sex == 'M' || sex == 'm'; }

} // namespace

StatusTable makeStatusTable(const char *const *statusCodes) {
    StatusTable table{};
    std::memcpy(table.code[0], "?????", kStatusWidth + 1);
    for (int k = 1; k <= 9; ++k) {
        // The host code padded with spaces and cut to 5 characters; a missing
        // string reads as empty.
        std::memset(table.code[k], ' ', kStatusWidth);
        table.code[k][kStatusWidth] = '\0';
        const char *code = statusCodes[k];
        for (int i = 0; code != nullptr && i < kStatusWidth && code[i] != '\0'; ++i) {
            table.code[k][i] = code[i];
        }
    }
    table.code[10][0] = '\0'; // never used
    return table;
}

void deriveMemberQuantities(MemberRecord &member, const HostArrays &host) {
    // A spouse age of 0 means not given: a man's spouse is taken as younger by
    // the host's age difference, anyone else's (women and an unknown sex) as
    // older. A huge host difference saturates instead of overflowing.
    if (member.spouseAge == 0) {
        const int64_t difference = truncToInt(host.demographicParameters[TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE]);
        member.spouseAge = isMale(member.sex) ? saturateToInt(int64_t{member.age} - difference)
                                              : saturateToInt(int64_t{member.age} + difference);
    }
    member.youngerAge = std::min(member.age, member.spouseAge);
    // A younger age below 10 (an empty line's age 0, a young derived spouse)
    // would ask for more years than the yearly blocks hold: limit to 111.
    member.projectionYears = static_cast<int32_t>(
        std::min<int64_t>(kLastAge - int64_t{member.youngerAge}, kProjectionYearsLimit));
    member.yearsToLastRetirementAge =
        saturateToInt(int64_t{truncToInt(host.retirementRates[TALVEK_RETIREMENT_RATES_LAST_AGE])} - member.age + 1);

    const int32_t averagingYears = truncToInt(host.planParameters[TALVEK_PLAN_AVERAGING_YEARS]);
    member.serviceYears = (member.serviceWithGuarantee + member.serviceWithoutGuarantee) / kWeeksPerYear;
    const int32_t roundedUpYears = truncToInt(member.serviceYears + kPartYearRoundUp);
    member.cappedServiceYears = averagingYears < roundedUpYears ? averagingYears : roundedUpYears;
    member.wholeServiceYears = truncToInt(member.serviceYears);
}

int32_t classifyMember(const MemberRecord &member, const StatusTable &table) {
    // Exact, case-sensitive comparison of the 5 characters; equal host codes
    // go to the lower status.
    for (int32_t status = 1; status <= kClassifiedStatuses; ++status) {
        if (std::strcmp(member.statusCode, table.code[status]) == 0) return status;
    }
    return 0;
}

void reportUnknownStatus(ErrorLog &log, const MemberRecord &member) {
    char message[kMessageBufferSize];
    const int length = formatReportLine(message, kMessageBufferSize,
                                        "Could not identify status  %s  of member %s\n",
                                        {member.statusCode, member.memberNumber});
    writeLogLine(log.sink, message, length);
}
