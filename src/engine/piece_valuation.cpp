#include "engine/piece_valuation.h"

#include <cstring>
#include <new>

#include "input/member_listing.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

// Where a member of each status adds beside the piece's totals.
struct StatusSinks {
    ValuationSinks status[TALVEK_MEMBER_STATUSES];
    MemberSums member;
};

void prepareSinks(StatusSinks &sinks, PieceValuation &piece, const EngineValuation &run) {
    for (int s = 0; s < TALVEK_MEMBER_STATUSES; ++s) {
        ValuationSinks &sink = sinks.status[s];
        sink.memberCounts = piece.byStatus[s].member_counts;
        sink.decrementCounts = piece.byStatus[s].decrement_counts;
        sink.benefitCashflows = piece.byStatus[s].benefit_cashflows;
        sink.accruedCashflows = piece.accruedCashflows[s];
        sink.oneYearCashflows = piece.oneYearCashflows[s];
        sink.member = run.perMember ? &sinks.member : nullptr;
        sink.midYearFactors = run.midYearFactors;
        sink.timeFactors = run.timeFactors;
    }
}

// A member's row: PVFB, contributions, the obligation (no service after the
// valuation date), the service cost (one year of it, less the obligation)
// and the duration of the benefits, sum (U - 0.5) CF v / PVFB (0 when the
// PVFB is 0). Members out of service have no service to come: the three
// lanes carry the same amounts, so DBO = PVFB and the service cost is 0.
TalvekMemberValues memberRow(const MemberRecord &member, int32_t status, int64_t line, const MemberSums &sums) {
    TalvekMemberValues row{};
    row.line = line;
    // as read, without the blanks the field is filled out with
    size_t length = std::strlen(member.memberNumber);
    while (length > 0 && member.memberNumber[length - 1] == ' ') --length;
    std::memcpy(row.member_number, member.memberNumber, length);
    row.status = status;
    row.age = member.age;
    row.sex = member.sex;
    row.benefits = sums.benefits[kProjectedLane];
    row.contributions = sums.contributions;
    row.obligation = sums.benefits[kAccruedLane];
    row.service_cost = sums.benefits[kOneYearLane] - sums.benefits[kAccruedLane];
    row.duration = row.benefits != 0.0 ? sums.benefitTimes / row.benefits : 0.0;
    return row;
}

bool appendRow(std::vector<TalvekMemberValues> &rows, const TalvekMemberValues &row) {
    try {
        rows.push_back(row);
        return true;
    } catch (...) {
        return false;
    }
}

void valueMember(int32_t status, const ValuationContext &context, const MemberRecord &member) {
    switch (status) {
    case TALVEK_MEMBER_IN_SERVICE: valueActiveMember(context, member); break;
    case TALVEK_MEMBER_PENSIONER: valuePensioner(context, member); break;
    case TALVEK_MEMBER_DISABLED: valueDisabilityPensioner(context, member); break;
    case TALVEK_MEMBER_DEFERRED: valueDeferredMember(context, member); break;
    case TALVEK_MEMBER_SURVIVING_SPOUSE: valueSurvivingSpouse(context, member); break;
    default: break;
    }
}

// Where a member of each status adds the amounts of a block of scenarios.
struct BlockSinks {
    ScenarioSinks status[TALVEK_MEMBER_STATUSES];
};

void prepareBlockSinks(BlockSinks &sinks, ScenarioBlockSums &piece) {
    for (int s = 0; s < TALVEK_MEMBER_STATUSES; ++s) {
        sinks.status[s] = ScenarioSinks{&piece.totalCashflows[0][0], &piece.statusCashflows[s][0][0]};
    }
}

} // namespace

bool valuePiece(const RunTables &tables, const MemberSource &source, const PieceBounds &bounds,
                const MemberIdentity &carried, ReportSink &listing, ReportSink &errors,
                const LineCheck &check, PieceResults &results) {
    results.arrays.reset(new (std::nothrow) ResultArrays{});
    std::unique_ptr<LineReader> reader(new (std::nothrow) LineReader);
    if (!results.arrays || !reader) return false;
    std::unique_ptr<StatusSinks> sinks;
    if (tables.valuation != nullptr) {
        results.valuation.reset(new (std::nothrow) PieceValuation{});
        sinks.reset(new (std::nothrow) StatusSinks{});
        if (!results.valuation || !sinks) return false;
        prepareSinks(*sinks, *results.valuation, *tables.valuation);
    }
    std::unique_ptr<BlockSinks> blockSinks;
    if (tables.lanes != nullptr) {
        results.scenarios.reset(new (std::nothrow) ScenarioBlockSums{});
        blockSinks.reset(new (std::nothrow) BlockSinks{});
        if (!results.scenarios || !blockSinks) return false;
        prepareBlockSinks(*blockSinks, *results.scenarios);
    }
    results.identityAfter = carried;
    if (bounds.endByte <= bounds.firstByte) return true; // an empty piece reads nothing

    HostArrays host = tables.assumptions;
    host.memberCounts = results.arrays->memberCounts;
    host.decrementCounts = results.arrays->decrementCounts;
    host.benefitCashflows = results.arrays->benefitCashflows;
    ValuationContext context{tables.basis, &host, tables.terms};
    context.lanes = tables.lanes;
    ErrorLog log{errors, &results.errorCount};

    if (!openSourceRange(*reader, source, bounds.firstByte, bounds.endByte - bounds.firstByte)) {
        results.readFailed = true;
        return true;
    }
    MemberRecord member{};
    std::memcpy(member.memberNumber, carried.memberNumber, sizeof member.memberNumber);
    std::memcpy(member.statusCode, carried.statusCode, sizeof member.statusCode);
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);

    bool outOfMemory = false;
    while (readLine(*reader, line, kLineBufferSize) > 0) {
        // the line read just before a stop is neither parsed nor listed
        if (check.stop(check.context, results.membersDone, results.lineReads)) {
            results.stopped = true;
            break;
        }
        ++results.lineReads;
        resetMemberRecord(member);
        if (parseMemberLine(line, tables.layout, member, log)) {
            host.memberCounts[members::kLinesRead] += 1.0;
            deriveMemberQuantities(member, host);
            const int32_t status = classifyMember(member, tables.statusTable);
            if (status == 0) {
                reportUnknownStatus(log, member);
                ++results.unknownStatuses;
            } else if (blockSinks != nullptr) {
                context.scenarioSinks = &blockSinks->status[status - 1];
                valueMemberInLanes(status, context, member);
            } else if (sinks == nullptr) {
                valueMember(status, context, member);
            } else {
                context.sinks = &sinks->status[status - 1];
                // the lines read of each status: those of no known status are in the total only
                context.sinks->memberCounts[members::kLinesRead] += 1.0;
                sinks->member = MemberSums{};
                valueMember(status, context, member);
                // a worker thread must not throw: a row without memory ends the piece as a failure
                if (tables.valuation->perMember &&
                    !appendRow(results.members, memberRow(member, status, results.lineReads, sinks->member))) {
                    outOfMemory = true;
                    break;
                }
            }
            ++results.membersDone;
        }
        std::memset(line, kLineFiller, sizeof line);
        writeListingLine(listing, member);
    }
    if (reader->readFailed) results.readFailed = true;
    closeLineReader(*reader);
    // the error log's sink is the piece's own copy: hand back what it noted
    errors = log.sink;
    std::memcpy(results.identityAfter.memberNumber, member.memberNumber, sizeof member.memberNumber);
    std::memcpy(results.identityAfter.statusCode, member.statusCode, sizeof member.statusCode);
    return !outOfMemory;
}

void addPieceArrays(const ResultArrays &piece, double *memberCounts, double *decrementCounts,
                    double *benefitCashflows) {
    for (int i = 0; i < TALVEK_MEMBER_COUNTS_SIZE; ++i) memberCounts[i] += piece.memberCounts[i];
    for (int i = 0; i < TALVEK_DECREMENT_COUNTS_SIZE; ++i) decrementCounts[i] += piece.decrementCounts[i];
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) benefitCashflows[i] += piece.benefitCashflows[i];
}

void addPieceValuation(PieceResults &piece, const EngineValuation &run, int64_t linesBefore) {
    if (!piece.valuation) return; // a piece that never started holds nothing
    const PieceValuation &sums = *piece.valuation;
    for (int s = 0; s < TALVEK_MEMBER_STATUSES; ++s) {
        const TalvekStatusArrays &from = sums.byStatus[s];
        TalvekStatusArrays &to = run.byStatus[s];
        for (int i = 0; i < TALVEK_MEMBER_COUNTS_SIZE; ++i) to.member_counts[i] += from.member_counts[i];
        for (int i = 0; i < TALVEK_DECREMENT_COUNTS_SIZE; ++i) to.decrement_counts[i] += from.decrement_counts[i];
        for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
            to.benefit_cashflows[i] += from.benefit_cashflows[i];
            run.accruedCashflows[s][i] += sums.accruedCashflows[s][i];
            run.oneYearCashflows[s][i] += sums.oneYearCashflows[s][i];
        }
    }
    if (run.members == nullptr) return;
    for (TalvekMemberValues &row : piece.members) {
        row.line += linesBefore;
        run.members->push_back(row); // on the calling thread: the run's catch takes a failure
    }
}

void addScenarioBlockSums(const ScenarioBlockSums &from, ScenarioBlockSums &to) {
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i)
        for (int l = 0; l < kScenarioLanes; ++l) to.totalCashflows[i][l] += from.totalCashflows[i][l];
    for (int s = 0; s < TALVEK_MEMBER_STATUSES; ++s)
        for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i)
            for (int k = 0; k < kLaneAmounts; ++k) to.statusCashflows[s][i][k] += from.statusCashflows[s][i][k];
}
