// The check of a member file before it is valued, and its conversion into
// the library's own layout. One pass over the file's bytes:
// - cuts it into records as the basis's [member_file] says (the library's
//   layout or a spreadsheet's, a header row naming the columns);
// - reads every line as the valuation will (library_reading.h) for the
//   data summary and the rejections;
// - checks every field strictly (field_check.h) and the file's layout, and
//   gives every member the plausibility rules (plausibility.h);
// - writes, where the file is not in the library's layout as it stands,
//   each data line as the library reads it: the fields in the order of their
//   columns, numbers without blanks and with a decimal point, a delimiter
//   after every field, a line feed. The engine then reads these bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check_rules.h"
#include "data_summary.h"
#include "plan_basis.h"

struct MemberCheck {
    std::vector<CheckProblem> problems; // errors and warnings in file order
    DataSummary summary;
    bool hasErrors = false;          // the run values nothing unless they are accepted as read
    bool hasUnacceptableErrors = false; // errors that even --accept-as-read cannot value
    // What the engine reads: the converted lines, or the file's own bytes from firstByte on.
    bool converted = false;
    std::string convertedBytes;
    int64_t firstByte = 0;
    std::array<int32_t, kMemberFields + 1> engineColumns{}; // the column of each field in what the engine reads
};

// Checks (and where needed converts) the member file's bytes, in parts on
// `jobs` threads; the outcome is the same for any number.
void checkMemberBytes(const PlanBasis &basis, const char *bytes, int64_t size, MemberCheck &check, int jobs = 1);

// The delimiter character of a basis delimiter code.
char delimiterOfCode(int32_t delimiterCode);
