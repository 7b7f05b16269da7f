#include "api/run_driver.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "basis/basis.h"
#include "input/line_reader.h"
#include "input/member_listing.h"
#include "input/member_parser.h"
#include "input/member_status.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

constexpr int kMembersPerProgressCheck = 1000;
constexpr const char *kScratchFile = "testoutput.txt";

// The files a run holds open; any of them may be missing.
struct RunFiles {
    std::FILE *scratch;
    std::FILE *listing;
    std::FILE *errors;
    LineReader *members; // open when non-null
};

void closeRunFiles(RunFiles &files) {
    if (files.members != nullptr) closeLineReader(*files.members);
    if (files.listing != nullptr) std::fclose(files.listing);
    if (files.errors != nullptr) std::fclose(files.errors);
    if (files.scratch != nullptr) std::fclose(files.scratch);
}

void buildBasis(Basis &basis, const RunRequest &request) {
    buildMortalityTables(basis, request.host, request.valuationYear, request.mortalityBaseYear);
    buildCeilingVectors(basis, request.host);
}

void buildValuationTables(Basis &basis, const HostArrays &host) {
    buildServiceBandKeys(basis, host);
    buildDiscountVectors(basis, host);
    buildAnnuityTable(basis, host);
    buildBasisLookups(basis, host);
}

void valueMember(int32_t status, const ValuationContext &context, const MemberRecord &member) {
    switch (status) {
    case 1: valueActiveMember(context, member); break;
    case 2: valuePensioner(context, member); break;
    case 3: valueDisabilityPensioner(context, member); break;
    case 4: valueDeferredMember(context, member); break;
    case 5: valueSurvivingSpouse(context, member); break;
    default: break;
    }
}

void openDisplay(ProgressDisplay *display, int32_t memberTotal) {
    if (display == nullptr) return;
    display->setTitle(display->state, kProgressTitle);
    display->setCancelMessage(display->state, kCancelMessage);
    display->start(display->state);
    wchar_t text[kProgressLineChars];
    formatProgressText(memberTotal, text);
    display->setLine(display->state, text);
}

// True when the user asked to stop at this check.
bool progressCheck(const RunRequest &request) {
    if (*request.membersDone % kMembersPerProgressCheck != 0) return false;
    if (request.stopRequested != nullptr && request.stopRequested->load()) return true;
    ProgressDisplay *display = request.display;
    if (display == nullptr) return false;
    display->setProgress(display->state, *request.membersDone, request.memberTotal);
    return display->hasUserCancelled(display->state);
}


// The member loop: one cycle per line read, until the file ends or the user
// stops the run.
void readMembers(const RunRequest &request, RunFiles &files, const Basis &basis) {
    const LineLayout layout = makeLineLayout(request.delimiterCode, request.host.columnMap);
    const StatusTable statusTable = makeStatusTable(request.host.statusCodes);
    const ValuationContext context{&basis, &request.host};
    ErrorLog log{files.errors, request.errorCount};
    MemberRecord member{};  // member number and status start empty
    if (request.carried != nullptr) {
        std::memcpy(member.memberNumber, request.carried->memberNumber, sizeof member.memberNumber);
        std::memcpy(member.statusCode, request.carried->statusCode, sizeof member.statusCode);
    }
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);

    while (readLine(*files.members, line, kLineBufferSize) > 0) {
        // the line read just before a stop is neither parsed nor listed
        if (progressCheck(request)) break;
        resetMemberRecord(member);
        if (parseMemberLine(line, layout, member, log)) {
            request.host.memberCounts[members::kLinesRead] += 1.0;
            deriveMemberQuantities(member, request.host);
            const int32_t status = classifyMember(member, statusTable);
            if (status == 0) {
                reportUnknownStatus(log, member);
            } else {
                valueMember(status, context, member);
            }
            incrementCounter(request.membersDone);
        }
        std::memset(line, kLineFiller, sizeof line);
        writeListingLine(files.listing, member);
    }
}

} // namespace

void runValuation(const RunRequest &request) {
    // The basis is large and lives for this call only; every table starts at zero.
    std::unique_ptr<Basis> basis(new (std::nothrow) Basis);
    if (!basis) return;
    std::memset(basis.get(), 0, sizeof(Basis));

    RunFiles files{};
    LineReader reader;
    files.scratch = std::fopen(kScratchFile, "w");
    buildBasis(*basis, request);
    buildValuationTables(*basis, request.host);

    files.listing = std::fopen(request.listingFile, "w");
    files.errors = files.listing != nullptr ? std::fopen(request.errorFile, "w") : nullptr;
    // Without both reports there is nowhere to account for the lines: end the
    // run before any member is read, with counters and results untouched.
    if (files.listing == nullptr || files.errors == nullptr) {
        closeRunFiles(files);
        return;
    }
    if (request.listingHeaders) writeListingHeaders(files.listing);

    openDisplay(request.display, request.memberTotal);
    if (openLineReaderRange(reader, request.memberFile, request.firstByte, request.byteCount)) {
        files.members = &reader;
        readMembers(request, files, *basis);
    }
    closeRunFiles(files);
    if (request.display != nullptr) request.display->stop(request.display->state);
}
