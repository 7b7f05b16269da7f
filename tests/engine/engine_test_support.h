// Runs of the engine in the tests: a reference case's inputs loaded into a
// TestHost, and one run of it with a chosen piece size and number of jobs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_run.h"
#include "support/test_support.h"

// The inputs of one reference case of tests/golden.
struct ReferenceCase {
    TestHost host;
    std::string memberBytes;
    int16_t valuationYear;
    int16_t mortalityBaseYear;
    int16_t delimiterCode;
};
ReferenceCase loadReferenceCase(const std::string &name);

// Everything a run hands back.
struct EngineRunResult {
    EngineOutcome outcome;
    std::vector<double> memberCounts = std::vector<double>(TALVEK_MEMBER_COUNTS_SIZE);
    std::vector<double> decrementCounts = std::vector<double>(TALVEK_DECREMENT_COUNTS_SIZE);
    std::vector<double> benefitCashflows = std::vector<double>(TALVEK_BENEFIT_CASHFLOWS_SIZE);
    std::string listing;
    std::string errors;
    std::vector<std::pair<int64_t, int64_t>> checks; // (members done, total) at each check
};

struct EngineRunOptions {
    int32_t jobs = 1;
    int64_t pieceBytes = TALVEK_PIECE_BYTES;
    bool fromMemory = false;   // the member bytes in memory instead of a file
    int stopAtCheck = 0;       // the check (counted from 1) that stops the run; 0: none
    int32_t checkBase = 0;
    int64_t memberTotal = 0;
    // Pieces valued by several processes: this run's share of them. A run
    // that gives writes no reports.
    const PieceShare *share = nullptr;
};

// Runs the engine on the case's members, written to a file in `directory`
// (or read in memory), with reports in that directory.
EngineRunResult runCase(ReferenceCase &reference, const std::filesystem::path &directory,
                        const EngineRunOptions &options);

// A file of `lines` copies of the first member of the in-service case.
ReferenceCase manyMembers(int lines);

// Two runs to the bit: status, counters, reports and the three arrays.
void expectSameRun(const EngineRunResult &a, const EngineRunResult &b, const std::string &what);
