#include "engine/piece_valuation.h"

#include <cstring>
#include <new>

#include "input/member_listing.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

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

} // namespace

bool valuePiece(const RunTables &tables, const MemberSource &source, const PieceBounds &bounds,
                const MemberIdentity &carried, ReportSink &listing, ReportSink &errors,
                const LineCheck &check, PieceResults &results) {
    results.arrays.reset(new (std::nothrow) ResultArrays{});
    std::unique_ptr<LineReader> reader(new (std::nothrow) LineReader);
    if (!results.arrays || !reader) return false;
    results.identityAfter = carried;
    if (bounds.endByte <= bounds.firstByte) return true; // an empty piece reads nothing

    HostArrays host = tables.assumptions;
    host.memberCounts = results.arrays->memberCounts;
    host.decrementCounts = results.arrays->decrementCounts;
    host.benefitCashflows = results.arrays->benefitCashflows;
    const ValuationContext context{tables.basis, &host, tables.terms};
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
            } else {
                valueMember(status, context, member);
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
    return true;
}

void addPieceArrays(const ResultArrays &piece, double *memberCounts, double *decrementCounts,
                    double *benefitCashflows) {
    for (int i = 0; i < TALVEK_MEMBER_COUNTS_SIZE; ++i) memberCounts[i] += piece.memberCounts[i];
    for (int i = 0; i < TALVEK_DECREMENT_COUNTS_SIZE; ++i) decrementCounts[i] += piece.decrementCounts[i];
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) benefitCashflows[i] += piece.benefitCashflows[i];
}
