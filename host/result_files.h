// What a run leaves for the actuary: one CSV file per result array, a row per
// year 0..110 and a named column per block, and a short summary.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host_arrays.h"

// Column names of the blocks, by block number (index 0 unused).
extern const char *const kMemberCountColumns[kMemberBlocks + 1];
extern const char *const kDecrementCountColumns[kDecrementBlocks + 1];
extern const char *const kCashflowColumns[kCashflowBlocks + 1];

constexpr const char *kMemberCountsFile = "member_counts.csv";
constexpr const char *kDecrementCountsFile = "decrement_counts.csv";
constexpr const char *kCashflowsFile = "benefit_cashflows.csv";
constexpr const char *kListingFile = "member_listing.txt";
constexpr const char *kErrorLogFile = "errors.txt";

// Writes one result array as CSV: a header "year,<block names>" and one row per
// year 0..110, block k of year t taken from element 111k + t. Numbers are
// written so that they read back to the same double. False when the file
// cannot be written.
// A comment, when given, comes first as a line "# comment". Each file is
// flushed to the disk before it is closed. False when the file cannot be
// written, with errno saying why.
bool writeResultTable(const std::filesystem::path &path, const std::vector<double> &results,
                      const char *const *columnNames, int blocks, const std::string &comment = "");

// Writes the three CSV files into directory, each starting with the comment
// when one is given; false at the first that cannot be written, with the
// file and the system's reason in problem.
bool writeResultFiles(const std::filesystem::path &directory, const HostArraySet &arrays,
                      const std::string &comment, std::string &problem);

// What the summary reports besides the arrays.
struct RunFacts {
    std::string basisFile;
    std::string memberFile;
    std::filesystem::path outputDirectory;
    int32_t memberLines = 0;      // line reads counted before the run
    int32_t membersRead = 0;      // lines read without a field error
    int32_t errorCount = 0;       // field errors in the error log
    int32_t unknownStatuses = 0;  // members read whose status matched no code
    bool stoppedByUser = false;
    std::string stopSignal;       // "Ctrl-C" or "SIGTERM" when stopped
};

// Lines of the error log that name an unknown status (they are not counted
// among the field errors).
int32_t countUnknownStatuses(const std::filesystem::path &errorLog);

// The summary: counts, then the main populations and yearly cash flows for
// years 0, 1, 5, 10, 20 and 40 as an aligned table.
void writeSummary(std::FILE *out, const RunFacts &facts, const HostArraySet &arrays);
