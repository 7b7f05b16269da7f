// One valuation run of the engine: the basis built once, the member file cut
// into its fixed pieces, the pieces valued on `jobs` threads and joined in
// file order into the run's arrays, counters and reports. The public C
// interface and the legacy exports are both adapters over this.
#pragma once

#include <cstdint>
#include <vector>

#include "core/host_arrays.h"
#include "input/line_reader.h"
#include "projection/scenario_lanes.h"
#include "talvek/engine.h"

// What a valuation run adds up beside the three arrays: the arrays of each
// status, the benefit cash flows of the obligation (no service after the
// valuation date) and of one year of service by status, and one row per
// member. Element s - 1 is status s.
struct EngineValuation {
    bool perMember;
    double midYearFactors[TALVEK_YEAR_SLOTS]; // v(U - 0.5)
    double timeFactors[TALVEK_YEAR_SLOTS];    // (U - 0.5) v(U - 0.5)
    TalvekStatusArrays *byStatus;             // TALVEK_MEMBER_STATUSES of them
    double (*accruedCashflows)[TALVEK_BENEFIT_CASHFLOWS_SIZE];
    double (*oneYearCashflows)[TALVEK_BENEFIT_CASHFLOWS_SIZE];
    std::vector<TalvekMemberValues> *members; // when perMember, in file order
};

// What a block of scenarios adds up, element by element of the benefit cash
// flows with the block's lanes side by side: every member's (as the run
// attributes service; [i][l] is scenario l), and by status those of the three
// attributions of service, the run's, the obligation's and one year's
// ([s - 1][i][laneOf(a, l)], status s).
struct ScenarioBlockSums {
    double totalCashflows[TALVEK_BENEFIT_CASHFLOWS_SIZE][kScenarioLanes];
    double statusCashflows[TALVEK_MEMBER_STATUSES][TALVEK_BENEFIT_CASHFLOWS_SIZE][kLaneAmounts];
};

// A block of scenarios valued in one pass over the members: each one's
// assumptions (the result pointers are not used) and the block's sums.
struct ScenarioBlock {
    HostArrays assumptions[kScenarioLanes];
    LanePath path;           // the instruction set the lanes are worked with
    ScenarioBlockSums *sums; // added into, piece after piece in file order
};

// Adds one block's sums into another, element by element.
void addScenarioBlockSums(const ScenarioBlockSums &from, ScenarioBlockSums &to);

// What the caller sees of a run besides the arrays. None may be null.
struct RunHooks {
    void *context;
    // Once the reports are open, before the member file is opened.
    void (*start)(void *context);
    // Asked on the calling thread while members are read: true stops the
    // run. membersDone counts from EngineRequest::checkBase.
    bool (*check)(void *context, int64_t membersDone, int64_t memberTotal);
    // At the end, after the reports are closed, when start was called.
    void (*end)(void *context);
};

// A run whose pieces are valued by several processes: the caller's exchange,
// the run's number in it, and whether this process gives the pieces it owns
// (and joins none) or joins every piece, taking those it does not own.
struct PieceShare {
    const TalvekPieceExchange *exchange;
    int32_t run;
    bool giving;
};

struct EngineRequest {
    MemberSource source;
    const char *listingFile;  // null: no listing
    const char *errorFile;    // null: no error log
    HostArrays assumptions;   // the result pointers are not used
    int16_t valuationYear;
    int16_t mortalityBaseYear;
    int16_t delimiterCode;
    int32_t jobs;             // threads valuing pieces, 1 or more
    int64_t pieceBytes;       // the plan's piece size: TALVEK_PIECE_BYTES
    int64_t memberTotal;      // handed to the check
    // The members-done count before the run: with one job the check is
    // asked whenever checkBase + members done, as a 32-bit count, is a
    // multiple of 1000.
    int32_t checkBase;
    // With one job the check is also asked whenever the lines read (rejected
    // or not) reach a multiple of this, so that a stop is heard in a long
    // stretch of rejected lines; 0: only the members-done rule above.
    int32_t linesPerCheck;
    RunHooks hooks;
    // How much of the service after the valuation date the amounts count.
    ServiceAttribution attribution;
    // Null: the three arrays only.
    const EngineValuation *valuation;
    // A block of scenarios: the counts of `assumptions` go into the three
    // arrays, the amounts of each scenario into the block's sums. Null: one run.
    const ScenarioBlock *scenarios;
    // Null: every piece valued and joined here.
    const PieceShare *share;
    // The run's results are added into these, piece after piece in file order.
    double *memberCounts;
    double *decrementCounts;
    double *benefitCashflows;
};

constexpr int kOutcomeMessageSize = 512;

struct EngineOutcome {
    int32_t status;           // a TalvekStatus
    bool stopped;             // the check stopped the run
    bool readingStarted;      // the member file was opened and its pieces read
    int64_t lineReads;
    int64_t membersDone;
    int64_t errorCount;
    int64_t unknownStatuses;
    char message[kOutcomeMessageSize]; // empty when the status is TALVEK_OK or TALVEK_STOPPED
};

void runEngine(const EngineRequest &request, EngineOutcome &outcome);
