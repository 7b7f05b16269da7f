// One piece of the member file valued on its own: its lines read, parsed,
// valued and listed exactly as a run over the whole file does them, into the
// piece's own result arrays and counters.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "basis/basis.h"
#include "core/host_arrays.h"
#include "core/report_sink.h"
#include "engine/engine_run.h"
#include "engine/piece_plan.h"
#include "input/member_parser.h"
#include "input/member_status.h"
#include "projection/plan_terms.h"
#include "projection/year_rates.h"

// What every piece of a run reads and nobody changes.
struct RunTables {
    const Basis *basis;     // built once, before the first piece
    HostArrays assumptions; // the result pointers are those of each piece
    LineLayout layout;      // delimiter and column map
    StatusTable statusTable;
    PlanTerms terms;        // the plan's terms, read once
    const EngineValuation *valuation; // null: the three arrays only
    const LaneEconomics *lanes;       // a block of scenarios' tables; null: one run
};

// A piece's three result arrays, zero until its members are added.
struct ResultArrays {
    double memberCounts[TALVEK_MEMBER_COUNTS_SIZE];
    double decrementCounts[TALVEK_DECREMENT_COUNTS_SIZE];
    double benefitCashflows[TALVEK_BENEFIT_CASHFLOWS_SIZE];
};

// A valuation's sums of a piece, by status (element s - 1 is status s).
struct PieceValuation {
    TalvekStatusArrays byStatus[TALVEK_MEMBER_STATUSES];
    double accruedCashflows[TALVEK_MEMBER_STATUSES][TALVEK_BENEFIT_CASHFLOWS_SIZE];
    double oneYearCashflows[TALVEK_MEMBER_STATUSES][TALVEK_BENEFIT_CASHFLOWS_SIZE];
};

struct PieceResults {
    std::unique_ptr<ResultArrays> arrays; // allocated zero by valuePiece
    std::unique_ptr<PieceValuation> valuation; // a valuation's only, allocated zero
    std::vector<TalvekMemberValues> members;   // a valuation's rows, lines counted in the piece
    std::unique_ptr<ScenarioBlockSums> scenarios; // a block of scenarios' sums, allocated zero
    int64_t lineReads = 0;       // lines read and listed
    int64_t membersDone = 0;     // lines read without a field error
    int32_t errorCount = 0;      // field errors logged
    int64_t unknownStatuses = 0; // members of no known status
    MemberIdentity identityAfter{}; // what the piece's last line carries over
    bool stopped = false;        // the check stopped it before its end
    bool readFailed = false;     // the member file could not be read to the piece's end
};

// Asked before each line read is parsed, with the members done and the
// lines read in the piece so far; true stops the piece, and that line is
// neither parsed nor listed.
struct LineCheck {
    bool (*stop)(void *context, int64_t pieceMembersDone, int64_t pieceLineReads);
    void *context;
};

// Values the lines of `bounds`, starting from the member number and status
// `carried`. The listing lines and error lines go to the two sinks. False
// when the piece's arrays cannot be allocated.
bool valuePiece(const RunTables &tables, const MemberSource &source, const PieceBounds &bounds,
                const MemberIdentity &carried, ReportSink &listing, ReportSink &errors,
                const LineCheck &check, PieceResults &results);

// Adds a piece's arrays into the run's, element by element.
void addPieceArrays(const ResultArrays &piece, double *memberCounts, double *decrementCounts,
                    double *benefitCashflows);

// Adds a piece's valuation sums into the run's and appends its rows, their
// lines counted on from the lines read before the piece.
void addPieceValuation(PieceResults &piece, const EngineValuation &run, int64_t linesBefore);
