// The data summary an actuary reconciles with the plan administrator's
// figures before valuing: by status the members, their sexes and average
// age, salaries (members in service), pensions (pensioners, disabled
// members, surviving spouses) and accrued service; the lines read, skipped
// and rejected with the reasons; the findings of the check by rule. Every
// figure is of the members as the valuation reads them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "check_rules.h"
#include "library_reading.h"
#include "plan_basis.h"

constexpr const char *kDataSummaryFile = "data_summary.csv";

struct StatusTotals {
    int64_t members = 0;
    int64_t male = 0;
    int64_t female = 0;
    double ageSum = 0;
    double salaryTotal = 0;   // members in service
    double pensionTotal = 0;  // pensioners, disabled members, surviving spouses
    double serviceWeeks = 0;  // with and without the inflation guarantee
};

struct DataSummary {
    int64_t linesRead = 0;       // records of the file (a piece of an overlong line counts as the valuation counts it)
    int64_t headerLines = 0;     // skipped: the header row
    int64_t blankLines = 0;      // skipped: blank lines (spreadsheet layout)
    int64_t linesWithErrors = 0; // lines with at least one error of the check
    int64_t rejected[kRejectionCount] = {}; // lines the valuation rejects, by reason
    StatusTotals byStatus[kStatuses + 1];   // index 1..5; index 0 all statuses together
    int64_t findings[kRuleCount] = {};      // errors and warnings by rule
};

// Adds a member read without rejection, of status 1..5.
void addMemberToSummary(DataSummary &summary, const LibraryMember &member, int32_t status);

// Adds the figures of a part of the file.
void addSummary(DataSummary &into, const DataSummary &part);

int64_t rejectedLines(const DataSummary &summary);
int64_t errorCount(const DataSummary &summary);
int64_t warningCount(const DataSummary &summary);

// The summary as an aligned text for the terminal.
void printDataSummary(std::FILE *out, const DataSummary &summary, const PlanBasis &basis,
                      const std::string &memberFile);

// data_summary.csv: the table by status, then the line counts, then the
// findings by rule, blocks parted by an empty line. False when the file
// cannot be written whole.
bool writeDataSummary(const std::filesystem::path &path, const DataSummary &summary, const PlanBasis &basis);
