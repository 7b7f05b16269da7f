#include "engine/engine_run.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "basis/basis.h"
#include "engine/piece_image.h"
#include "engine/piece_plan.h"
#include "engine/piece_valuation.h"
#include "engine/worker_threads.h"
#include "projection/scenario_tables.h"
#include "input/member_listing.h"
#include "talvek/engine.h"

namespace {

constexpr int32_t kMembersPerCheck = 1000; // the one-job check rule
constexpr int32_t kCheckWaitMs = 50;       // with several jobs: the longest wait between checks
constexpr int32_t kPiecesInFlightPerJob = 4; // pieces valued or waiting to be joined, per job
constexpr int64_t kListingRoomPerByte = 3;   // a member line of 50 bytes lists in about 100
constexpr size_t kReportBufferBytes = 1 << 20; // stdio's buffer of each report

void setMessage(EngineOutcome &outcome, int32_t status, const std::string &text) {
    outcome.status = status;
    std::snprintf(outcome.message, sizeof outcome.message, "%s", text.c_str());
}

std::string systemReason(int error) { return error != 0 ? std::strerror(error) : "unknown reason"; }

void buildBasis(Basis &basis, const HostArrays &host, const EngineRequest &request) {
    buildMortalityTables(basis, host, request.valuationYear, request.mortalityBaseYear);
    buildCeilingVectors(basis, host);
    buildServiceBandKeys(basis, host);
    buildDiscountVectors(basis, host);
    buildAnnuityTable(basis, host);
    buildBasisLookups(basis, host);
}

// The two reports: each a file, or none.
struct Reports {
    std::FILE *listingFile;
    std::FILE *errorFile;
    ReportSink listing;
    ReportSink errors;
};

bool openReports(const EngineRequest &request, Reports &reports, EngineOutcome &outcome) {
    if (request.listingFile != nullptr) {
        reports.listingFile = std::fopen(request.listingFile, "w");
        if (reports.listingFile == nullptr) {
            setMessage(outcome, TALVEK_ERROR_REPORT,
                       std::string("cannot create the member listing ") + request.listingFile + ": " +
                           systemReason(errno));
            return false;
        }
    }
    if (request.errorFile != nullptr) {
        reports.errorFile = std::fopen(request.errorFile, "w");
        if (reports.errorFile == nullptr) {
            setMessage(outcome, TALVEK_ERROR_REPORT,
                       std::string("cannot create the error log ") + request.errorFile + ": " +
                           systemReason(errno));
            return false;
        }
    }
    // large buffers: a report is written in few system calls
    if (reports.listingFile != nullptr) std::setvbuf(reports.listingFile, nullptr, _IOFBF, kReportBufferBytes);
    if (reports.errorFile != nullptr) std::setvbuf(reports.errorFile, nullptr, _IOFBF, kReportBufferBytes);
    reports.listing = ReportSink{reports.listingFile, nullptr, false, 0};
    reports.errors = ReportSink{reports.errorFile, nullptr, false, 0};
    return true;
}

// Closes both reports; the first failure of a write or of the close becomes
// the run's error unless it has one already.
void closeReports(const EngineRequest &request, Reports &reports, EngineOutcome &outcome) {
    struct Closing {
        std::FILE *file;
        ReportSink *sink;
        const char *path;
        const char *what;
    } closing[2] = {{reports.listingFile, &reports.listing, request.listingFile, "the member listing "},
                    {reports.errorFile, &reports.errors, request.errorFile, "the error log "}};
    for (Closing &report : closing) {
        if (report.file == nullptr) continue;
        const bool closed = std::fclose(report.file) == 0;
        const int reason = report.sink->failed ? report.sink->reason : errno;
        if ((report.sink->failed || !closed) &&
            (outcome.status == TALVEK_OK || outcome.status == TALVEK_STOPPED)) {
            setMessage(outcome, TALVEK_ERROR_REPORT,
                       std::string("writing ") + report.what + report.path + " failed: " + systemReason(reason));
        }
    }
    reports.listingFile = nullptr;
    reports.errorFile = nullptr;
}

void addCounters(const PieceResults &piece, EngineOutcome &outcome) {
    outcome.lineReads += piece.lineReads;
    outcome.membersDone += piece.membersDone;
    outcome.errorCount += piece.errorCount;
    outcome.unknownStatuses += piece.unknownStatuses;
}

void noteReadFailure(const EngineRequest &request, EngineOutcome &outcome) {
    const std::string name = request.source.bytes != nullptr ? std::string("the member bytes")
                                                             : std::string("the member file ") + request.source.path;
    setMessage(outcome, TALVEK_ERROR_MEMBER_FILE, "reading " + name + " failed");
}

// A piece's arrays, sums and counters into the run's.
void addPieceResults(const EngineRequest &request, PieceResults &piece, EngineOutcome &outcome) {
    addPieceArrays(*piece.arrays, request.memberCounts, request.decrementCounts, request.benefitCashflows);
    if (request.valuation != nullptr) addPieceValuation(piece, *request.valuation, outcome.lineReads);
    if (piece.scenarios) addScenarioBlockSums(*piece.scenarios, *request.scenarios->sums);
    addCounters(piece, outcome);
}

// Whether the run ends with this piece: its read failed or it was stopped.
bool pieceEndsRun(const EngineRequest &request, const PieceResults &piece, EngineOutcome &outcome) {
    if (piece.readFailed) {
        noteReadFailure(request, outcome);
        return true;
    }
    if (piece.stopped) {
        outcome.stopped = true;
        outcome.status = TALVEK_STOPPED;
        return true;
    }
    return false;
}

// A piece's kept listing and error lines into the reports, in turn.
void writePieceTexts(Reports &reports, const std::string &listing, const std::string &errors) {
    if (reports.listingFile != nullptr && !writeKeptText(reports.listingFile, listing) && !reports.listing.failed) {
        reports.listing.failed = true;
        reports.listing.reason = errno;
    }
    if (reports.errorFile != nullptr && !writeKeptText(reports.errorFile, errors) && !reports.errors.failed) {
        reports.errors.failed = true;
        reports.errors.reason = errno;
    }
}

// ---- pieces valued by several processes

bool ownsPiece(const EngineRequest &request, int64_t k) {
    const PieceShare *share = request.share;
    return share == nullptr || share->exchange->owns(share->exchange->user, share->run, k) != 0;
}

bool givesPieces(const EngineRequest &request) { return request.share != nullptr && request.share->giving; }

// Only the definition's own run writes reports: a rerun's images carry no lines.
bool imagesCarryLines(const EngineRequest &request) { return request.share != nullptr && request.share->run == 0; }

PieceImageLabel labelOf(const EngineRequest &request, int64_t k) {
    return PieceImageLabel{request.share->run, k, request.valuation != nullptr};
}

bool isFailure(int32_t status) { return status >= TALVEK_ERROR_ARGUMENT && status <= TALVEK_ERROR_MEMORY; }

// The image of piece k, which another process valued, into `piece` and its
// lines. False, the run's status and message set, when there is none to join.
bool takePiece(const EngineRequest &request, int64_t k, PieceResults &piece, std::string &listing,
               std::string &errors, EngineOutcome &outcome) {
    const TalvekPieceExchange &exchange = *request.share->exchange;
    const void *image = nullptr;
    int64_t size = 0;
    char said[kOutcomeMessageSize] = "";
    const int32_t status = exchange.take(exchange.user, request.share->run, k, &image, &size, said, sizeof said);
    said[sizeof said - 1] = '\0';
    if (status == TALVEK_STOPPED) {
        outcome.stopped = true;
        outcome.status = TALVEK_STOPPED;
        return false;
    }
    if (status != TALVEK_OK) {
        // a status the interface does not know is a failure all the same
        setMessage(outcome, isFailure(status) ? status : TALVEK_ERROR_ARGUMENT,
                   said[0] != '\0' ? std::string(said)
                                   : "the image of piece " + std::to_string(k) + " was not handed over");
        return false;
    }
    if (!readPieceImage(image, size, labelOf(request, k), piece, listing, errors, said, sizeof said)) {
        setMessage(outcome, TALVEK_ERROR_ARGUMENT, said);
        return false;
    }
    return true;
}

// Hands the image of piece k, which this process owns, on. False when the
// memory for it lacks or the exchange refuses it: the run ends there.
bool givePiece(const EngineRequest &request, int64_t k, const PieceResults &piece, const std::string &listing,
               const std::string &errors, std::vector<char> &image, EngineOutcome &outcome) {
    if (!writePieceImage(labelOf(request, k), piece, listing, errors, image)) {
        setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the image of a piece");
        return false;
    }
    const TalvekPieceExchange &exchange = *request.share->exchange;
    if (exchange.give(exchange.user, request.share->run, k, image.data(), static_cast<int64_t>(image.size())) != 0) {
        outcome.stopped = true;
        outcome.status = TALVEK_STOPPED;
        return false;
    }
    return true;
}

// ---- one job: the pieces one after another on the calling thread, each
// written straight into the reports and joined as soon as it is done.

struct SequentialCheck {
    const EngineRequest *request;
    int64_t membersBefore; // members done in the pieces already joined
    int64_t linesBefore;   // lines read in the pieces already joined
};

// Whether the lines read so far (this one not yet counted) are a multiple of
// the request's lines per check; never when it asks for none.
bool lineCountDue(const EngineRequest &request, int64_t linesRead) {
    return request.linesPerCheck > 0 && linesRead > 0 && linesRead % request.linesPerCheck == 0;
}

bool sequentialStop(void *context, int64_t pieceMembersDone, int64_t pieceLineReads) {
    const SequentialCheck &check = *static_cast<const SequentialCheck *>(context);
    const int64_t done = check.membersBefore + pieceMembersDone;
    // the counter as the caller holds it, a 32-bit integer that wraps
    const int32_t counter = static_cast<int32_t>(static_cast<uint32_t>(check.request->checkBase) +
                                                 static_cast<uint32_t>(done));
    if (counter % kMembersPerCheck != 0 &&
        !lineCountDue(*check.request, check.linesBefore + pieceLineReads))
        return false;
    const RunHooks &hooks = check.request->hooks;
    return hooks.check(hooks.context, int64_t{check.request->checkBase} + done, check.request->memberTotal);
}

bool askCheck(const EngineRequest &request, int64_t membersDone) {
    return request.hooks.check(request.hooks.context, int64_t{request.checkBase} + membersDone, request.memberTotal);
}

void runSequentially(const EngineRequest &request, const RunTables &tables, int64_t size, Reports &reports,
                     EngineOutcome &outcome) {
    const int64_t pieces = pieceCount(size, request.pieceBytes);
    const bool giving = givesPieces(request);
    MemberIdentity carried{}; // the first line starts from an empty number and status
    bool carriedKnown = true; // not after a piece another process owns, when giving
    SequentialCheck check{&request, 0, 0};
    const LineCheck lineCheck{sequentialStop, &check};
    std::string listing;
    std::string errors;
    std::vector<char> image;
    for (int64_t k = 0; k < pieces; ++k) {
        PieceResults piece;
        const bool owned = ownsPiece(request, k);
        listing.clear();
        errors.clear();
        if (!owned) {
            if (giving) {
                carriedKnown = false;
                continue;
            }
            if (!takePiece(request, k, piece, listing, errors, outcome)) return;
            writePieceTexts(reports, listing, errors);
        } else {
            PieceBounds bounds{};
            if (!pieceBounds(request.source, size, request.pieceBytes, k, bounds) ||
                (!carriedKnown &&
                 !identityBeforePiece(request.source, size, request.pieceBytes, k, tables.layout, carried))) {
                noteReadFailure(request, outcome);
                return;
            }
            carriedKnown = true;
            // a process that gives keeps the lines for the image (of the run that writes reports)
            const bool keep = giving && imagesCarryLines(request);
            ReportSink keptListing{nullptr, keep ? &listing : nullptr, false, 0};
            ReportSink keptErrors{nullptr, keep ? &errors : nullptr, false, 0};
            if (!valuePiece(tables, request.source, bounds, carried, giving ? keptListing : reports.listing,
                            giving ? keptErrors : reports.errors, lineCheck, piece)) {
                setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the results of a piece");
                return;
            }
            if (giving && !givePiece(request, k, piece, listing, errors, image, outcome)) return;
        }
        if (!giving) addPieceResults(request, piece, outcome);
        check.membersBefore += piece.membersDone;
        check.linesBefore += piece.lineReads;
        carried = piece.identityAfter;
        if (pieceEndsRun(request, piece, outcome)) return;
        // a piece valued elsewhere was read with no check here: one now
        if (!owned && askCheck(request, check.membersBefore)) {
            outcome.stopped = true;
            outcome.status = TALVEK_STOPPED;
            return;
        }
    }
}

// ---- several jobs: workers take pieces as they come free, into memory;
// the calling thread joins them strictly in file order and asks the check.

enum SlotState { SlotTaken, SlotFinished };

struct PieceSlot {
    int64_t index;                   // the piece this slot holds
    SlotState state;
    std::atomic<int64_t> membersDone; // of the piece so far, for the progress shown
    PieceResults results;
    std::string listing;             // the piece's listing lines, kept for the join
    std::string errors;              // its error lines
    ReportSink listingSink;
    ReportSink errorSink;
    bool allocated;                  // valuePiece got its arrays
    bool remote;                     // another process owns the piece: nothing is valued here
};

struct Pool {
    const EngineRequest *request;
    const RunTables *tables;
    int64_t size;
    int64_t pieces;
    int64_t window;                 // pieces in flight at most
    PoolLock lock;
    std::atomic<bool> stop{false};  // set by the check or a failure; read at every line
    // guarded by the lock
    int64_t nextPiece = 0;          // the next piece a worker takes
    int64_t joined = 0;             // pieces joined so far
    MemberIdentity identityAfterJoined{}; // what the last joined piece carries over
    std::vector<std::unique_ptr<PieceSlot>> slots; // piece k in slot k % window
    std::vector<char> image;        // the joining thread's image of a piece it gives
};

struct WorkerCheck {
    Pool *pool;
    PieceSlot *slot;
};

bool workerStop(void *context, int64_t pieceMembersDone, int64_t) {
    WorkerCheck &check = *static_cast<WorkerCheck *>(context);
    check.slot->membersDone.store(pieceMembersDone, std::memory_order_relaxed);
    return check.pool->stop.load(std::memory_order_relaxed);
}

// The member number and status piece k starts from: found in the lines of
// the piece before it, or, when those lines do not settle them, what that
// piece leaves behind once it is done. False when the run stops first.
bool carriedIdentity(Pool &pool, int64_t k, const PieceBounds &bounds, MemberIdentity &carried,
                     bool &readFailed) {
    carried = MemberIdentity{};
    // The first piece starts from nothing. An empty piece (inside a line
    // longer than a piece) still hands on what it was carried, so it needs it too.
    if (k == 0) return true;
    const EngineRequest &request = *pool.request;
    int64_t previousStart = 0;
    if (!lineStartAtOrAfter(request.source, pool.size, (k - 1) * request.pieceBytes, previousStart)) {
        readFailed = true;
        return true;
    }
    const int64_t windowBytes = bounds.firstByte - previousStart;
    std::vector<unsigned char> window(static_cast<size_t>(windowBytes));
    if (!readSourceBytes(request.source, previousStart, windowBytes, window.data())) {
        readFailed = true;
        return true;
    }
    if (identityFromWindow(window.data(), windowBytes, pool.tables->layout, carried)) return true;
    // The piece before is another process's: one that gives reads it from
    // the lines before; one that joins has it once that piece is joined.
    const bool previousRemote = !ownsPiece(request, k - 1);
    if (previousRemote && request.share->giving) {
        readFailed = !identityBeforePiece(request.source, pool.size, request.pieceBytes, k, pool.tables->layout, carried);
        return true;
    }
    // The piece before settles it once it is done (it was taken before this
    // one): from its slot, or, once joined, from what the join kept.
    bool settled = false;
    lockPool(pool.lock);
    for (;;) {
        if (pool.stop.load()) break;
        if (pool.joined >= k) { // piece k - 1 is joined (piece k is not yet)
            carried = pool.identityAfterJoined;
            settled = true;
            break;
        }
        const PieceSlot *previous = pool.slots[static_cast<size_t>((k - 1) % pool.window)].get();
        if (!previousRemote && previous != nullptr && previous->index == k - 1 && previous->state == SlotFinished) {
            carried = previous->results.identityAfter;
            settled = !previous->results.stopped;
            break;
        }
        waitPool(pool.lock, kCheckWaitMs);
    }
    unlockPool(pool.lock);
    return settled;
}

void valuePoolPiece(Pool &pool, PieceSlot &slot) {
    const EngineRequest &request = *pool.request;
    PieceBounds bounds{};
    bool readFailed = !pieceBounds(request.source, pool.size, request.pieceBytes, slot.index, bounds);
    MemberIdentity carried{};
    const bool started = !readFailed && carriedIdentity(pool, slot.index, bounds, carried, readFailed);
    if (!started || readFailed) {
        // nothing of the piece is read: stopped before its first line, or unreadable
        slot.results.arrays.reset(new (std::nothrow) ResultArrays{});
        slot.allocated = slot.results.arrays != nullptr;
        slot.results.readFailed = readFailed;
        slot.results.stopped = !readFailed;
        return;
    }
    WorkerCheck check{&pool, &slot};
    slot.allocated = valuePiece(*pool.tables, request.source, bounds, carried, slot.listingSink,
                                slot.errorSink, LineCheck{workerStop, &check}, slot.results);
}

void workerMain(void *argument) {
    Pool &pool = *static_cast<Pool *>(argument);
    for (;;) {
        PieceSlot *slot = nullptr;
        lockPool(pool.lock);
        while (slot == nullptr) {
            if (pool.stop.load() || pool.nextPiece >= pool.pieces) break;
            if (pool.nextPiece < pool.joined + pool.window) {
                const int64_t k = pool.nextPiece++;
                std::unique_ptr<PieceSlot> &held = pool.slots[static_cast<size_t>(k % pool.window)];
                // a slot is used again and again: its text keeps its room
                if (!held) held.reset(new (std::nothrow) PieceSlot{});
                if (!held) {
                    pool.stop.store(true);
                    break;
                }
                slot = held.get();
                slot->index = k;
                slot->state = SlotTaken;
                slot->membersDone.store(0);
                slot->results = PieceResults{};
                slot->allocated = false;
                slot->remote = !ownsPiece(*pool.request, k);
                slot->listing.clear();
                slot->errors.clear();
                slot->listing.reserve(static_cast<size_t>(kListingRoomPerByte * pool.request->pieceBytes));
                slot->listingSink = ReportSink{nullptr, &slot->listing, false, 0};
                slot->errorSink = ReportSink{nullptr, &slot->errors, false, 0};
            } else {
                waitPool(pool.lock, kCheckWaitMs); // the window is full: wait for a join
            }
        }
        unlockPool(pool.lock);
        if (slot == nullptr) return;
        if (!slot->remote) valuePoolPiece(pool, *slot);
        lockPool(pool.lock);
        slot->state = SlotFinished;
        wakePool(pool.lock);
        unlockPool(pool.lock);
    }
}

// Members done in every piece so far: those joined and those in flight.
int64_t membersSoFar(Pool &pool, const EngineOutcome &outcome) {
    int64_t done = outcome.membersDone;
    for (const std::unique_ptr<PieceSlot> &slot : pool.slots)
        if (slot && slot->index >= pool.joined) done += slot->membersDone.load(std::memory_order_relaxed);
    return done;
}

// Joins a finished piece into the run, taking it first when another process
// valued it, or, when this process gives its pieces, hands it on. False when
// the run ends with it.
bool joinPoolPiece(Pool &pool, PieceSlot &slot, Reports &reports, EngineOutcome &outcome) {
    const EngineRequest &request = *pool.request;
    const bool giving = givesPieces(request);
    if (slot.remote) {
        if (giving) return true; // nothing of it here
        if (!takePiece(request, slot.index, slot.results, slot.listing, slot.errors, outcome)) return false;
    } else if (!slot.allocated) {
        setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the results of a piece");
        return false;
    }
    if (giving) {
        static const std::string none;
        const bool lines = imagesCarryLines(request);
        if (!givePiece(request, slot.index, slot.results, lines ? slot.listing : none, lines ? slot.errors : none,
                       pool.image, outcome))
            return false;
    } else {
        // the reports line for line, then the arrays and counters
        writePieceTexts(reports, slot.listing, slot.errors);
        addPieceResults(request, slot.results, outcome);
    }
    return !pieceEndsRun(request, slot.results, outcome);
}

void runOnPool(const EngineRequest &request, const RunTables &tables, int64_t size, Reports &reports,
               EngineOutcome &outcome) {
    Pool pool;
    pool.request = &request;
    pool.tables = &tables;
    pool.size = size;
    pool.pieces = pieceCount(size, request.pieceBytes);
    pool.window = int64_t{request.jobs} * kPiecesInFlightPerJob;
    if (pool.pieces == 0) return;
    if (!makePoolLock(pool.lock)) {
        setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory to start the run's threads");
        return;
    }
    pool.slots.resize(static_cast<size_t>(pool.window));
    WorkerGroup workers{};
    const int32_t threads = static_cast<int32_t>(request.jobs < pool.pieces ? request.jobs : pool.pieces);
    if (startWorkers(workers, threads, workerMain, &pool) == 0) {
        // the system gives no thread at all: the calling thread values every piece
        freePoolLock(pool.lock);
        runSequentially(request, tables, size, reports, outcome);
        return;
    }

    bool joining = true;
    lockPool(pool.lock);
    while (joining && pool.joined < pool.pieces) {
        PieceSlot *head = pool.slots[static_cast<size_t>(pool.joined % pool.window)].get();
        const bool headReady = head != nullptr && head->index == pool.joined && head->state == SlotFinished;
        if (headReady) {
            unlockPool(pool.lock);
            joining = joinPoolPiece(pool, *head, reports, outcome);
            lockPool(pool.lock);
            pool.identityAfterJoined = head->results.identityAfter;
            head->results.arrays.reset(); // a joined piece's arrays go at once
            head->results.valuation.reset();
            head->results.scenarios.reset();
            head->results.members = std::vector<TalvekMemberValues>();
            head->listing.clear();          // its text too; the room stays for the next piece
            head->errors.clear();
            ++pool.joined;
            wakePool(pool.lock);
            continue;
        }
        // Stopped, and nobody took the next piece: nothing more to join.
        if (pool.stop.load() && pool.nextPiece <= pool.joined) {
            outcome.stopped = outcome.stopped || outcome.status == TALVEK_OK;
            if (outcome.status == TALVEK_OK) outcome.status = TALVEK_STOPPED;
            break;
        }
        waitPool(pool.lock, kCheckWaitMs);
        if (pool.stop.load()) continue;
        const int64_t done = membersSoFar(pool, outcome);
        unlockPool(pool.lock);
        const bool stopAsked = request.hooks.check(request.hooks.context, int64_t{request.checkBase} + done,
                                                   request.memberTotal);
        lockPool(pool.lock);
        if (stopAsked) pool.stop.store(true);
    }
    pool.stop.store(true); // whatever is still running ends at its next line
    wakePool(pool.lock);
    unlockPool(pool.lock);
    joinWorkers(workers);
    freePoolLock(pool.lock);
}

} // namespace

void runEngine(const EngineRequest &request, EngineOutcome &outcome) {
    outcome = EngineOutcome{};
    outcome.status = TALVEK_OK;
    // The basis is large and lives for this run only; every table starts at zero.
    std::unique_ptr<Basis> basis(new (std::nothrow) Basis);
    if (!basis) {
        setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the basis tables");
        return;
    }
    std::memset(basis.get(), 0, sizeof(Basis));
    buildBasis(*basis, request.assumptions, request);
    // a block of scenarios: each one's tables beside the run's, which give the counts
    std::unique_ptr<Basis[]> laneBases;
    std::unique_ptr<ScenarioTables> laneTables;
    LaneEconomics lanes{};
    if (request.scenarios != nullptr) {
        laneBases.reset(new (std::nothrow) Basis[kScenarioLanes]);
        if (!laneBases) {
            setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the scenarios' basis tables");
            return;
        }
        for (int l = 0; l < kScenarioLanes; ++l) {
            std::memset(&laneBases[l], 0, sizeof(Basis));
            buildBasis(laneBases[l], request.scenarios->assumptions[l], request);
            lanes.basis[l] = &laneBases[l];
            lanes.host[l] = &request.scenarios->assumptions[l];
        }
        lanes.path = request.scenarios->path;
        laneTables.reset(new (std::nothrow) ScenarioTables);
        if (!laneTables) {
            setMessage(outcome, TALVEK_ERROR_MEMORY, "not enough memory for the scenarios' basis tables");
            return;
        }
        buildScenarioTables(*laneTables, lanes, readPlanTerms(request.assumptions));
        lanes.tables = laneTables.get();
    }
    RunTables tables{basis.get(), request.assumptions,
                     makeLineLayout(request.delimiterCode, request.assumptions.columnMap),
                     makeStatusTable(request.assumptions.statusCodes),
                     readPlanTerms(request.assumptions), request.valuation,
                     request.scenarios != nullptr ? &lanes : nullptr};
    tables.terms.attributions.lane[kProjectedLane] = request.attribution;

    Reports reports{};
    // Without both reports there is nowhere to account for the lines: the
    // run ends before any member is read.
    if (!openReports(request, reports, outcome)) {
        if (reports.listingFile != nullptr) std::fclose(reports.listingFile);
        return;
    }
    writeListingHeaders(reports.listing);
    request.hooks.start(request.hooks.context);

    const int64_t size = sourceSize(request.source);
    if (size < 0) {
        setMessage(outcome, TALVEK_ERROR_MEMBER_FILE,
                   std::string("cannot open the member file ") + request.source.path + ": " + systemReason(errno));
    } else {
        outcome.readingStarted = true;
        if (request.jobs <= 1) {
            runSequentially(request, tables, size, reports, outcome);
        } else {
            runOnPool(request, tables, size, reports, outcome);
        }
    }
    closeReports(request, reports, outcome);
    request.hooks.end(request.hooks.context);
}
