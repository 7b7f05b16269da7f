// Classifying a member by its status code, and the quantities every status
// valuation derives from the member's fields.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"
#include "input/member_parser.h"
#include "core/member_record.h"

constexpr int kStatusCodes = 11; // 0 "?????", 1..9 from the host, 10 unused

struct StatusTable {
    char code[kStatusCodes][6]; // 5 characters each, NUL-terminated
};

StatusTable makeStatusTable(const char *const *statusCodes);

// Spouse age, younger age, projection years, service in years: for a line that
// parsed without a field error.
void deriveMemberQuantities(MemberRecord &member, const HostArrays &host);

// The member's status 1..5, or 0 when no host code matches.
int32_t classifyMember(const MemberRecord &member, const StatusTable &table);

// "Could not identify status ..." in the log; not counted as a field error.
void reportUnknownStatus(ErrorLog &log, const MemberRecord &member);
