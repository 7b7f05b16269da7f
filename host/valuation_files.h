// The valuation's results as files and on the terminal: the three result
// arrays by status in tidy form, the present values by group, the per-member
// figures, the sensitivities and the discount factors (docs/valuation-results.md
// lists every column with its formula).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "file_writing.h"
#include "plan_basis.h"
#include "talvek/engine.h"

constexpr const char *kMemberCountsByStatusFile = "member_counts_by_status.csv";
constexpr const char *kDecrementCountsByStatusFile = "decrement_counts_by_status.csv";
constexpr const char *kCashflowsByStatusFile = "cashflows_by_status.csv";
constexpr const char *kPresentValuesFile = "present_values.csv";
constexpr const char *kPerMemberFile = "per_member.csv";
constexpr const char *kSensitivitiesFile = "sensitivities.csv";
constexpr const char *kDiscountFactorsFile = "discount_factors.csv";

// The groups of the valuation's arrays: [0] every member, [s] status s.
constexpr int kGroups = TALVEK_MEMBER_STATUSES + 1;
constexpr int kAllMembers = 0;
extern const char *const kGroupNames[kGroups]; // "total", "in_service", ..., "spouses"

// What the run was asked for beyond the present values.
struct ValuationChoice {
    bool perMember = false;
    bool sensitivities = false;
};

// The files' texts (each starting with "# comment" when one is given).
// A by-status file: "status,year,<columns of today's file>", statuses 1..5,
// years 0..110 each.
std::string byStatusText(const TalvekValuation &valuation, int array, const std::string &comment);
constexpr int kByStatusMemberCounts = 0;
constexpr int kByStatusDecrementCounts = 1;
constexpr int kByStatusCashflows = 2;
// present_values.csv: a row per group, total first.
std::string presentValuesText(const TalvekValuation &valuation, const std::string &comment);
// sensitivities.csv: the base, then each sensitivity, a row per group each.
std::string sensitivitiesText(const TalvekValuation &valuation, const std::string &comment);
// discount_factors.csv: year, v(t), v(t - 0.5).
std::string discountFactorsText(const TalvekValuation &valuation);
// one row of per_member.csv (its header: kPerMemberHeader)
extern const char *const kPerMemberHeader;
std::string perMemberRow(const TalvekMemberValues &member);

// A number as every result file writes it: 17 significant digits, which
// read back to the same double (the bytes of "%.17g").
void appendNumber(std::string &text, double value);

// "# comment\n", or "" for no comment.
std::string commentLine(const std::string &comment);

// ",figure" for each figure of the group's present values, then each block's
// present value, in the columns of present_values.csv.
void appendPresentValues(std::string &text, const TalvekPresentValues &pv);

// A field of a CSV file: quoted (quotes doubled) when it holds a comma, a
// quote or a line break.
std::string csvField(const std::string &text);

// Writes the valuation's files into directory (the per-member and the
// sensitivities' files only when chosen), each flushed to the disk; their
// names are added to written. False at the first that cannot be written,
// with the file and the system's reason in problem.
bool writeValuationFiles(const std::filesystem::path &directory, const TalvekValuation &valuation,
                         const ValuationChoice &choice, const std::string &comment,
                         std::vector<std::string> &written, std::string &problem);

// An aligned table on the terminal: the first column left, the others right.
void printAlignedTable(std::FILE *out, const std::vector<std::vector<std::string>> &rows);

// The curve of the present values in words, for the summary and the record.
std::string curveDescription(const PlanBasis &basis);

// The summary's valuation part: present values, DBO, service cost and
// duration by status and in total; then the sensitivities when chosen.
void writeValuationSummary(std::FILE *out, const TalvekValuation &valuation, const ValuationChoice &choice,
                           const PlanBasis &basis);
