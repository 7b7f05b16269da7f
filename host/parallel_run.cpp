#include "parallel_run.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "api/member_shards.h"
#include "api/run_driver.h"
#include "progress/progress_display.h"

namespace fs = std::filesystem;

namespace {

std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

// One progress display for the whole run, fed by every piece: the bar shows
// the members done in all pieces together.
struct SharedProgress {
    ProgressDisplay display;                // the terminal's, or a silent one
    bool open;
    std::mutex lock;                        // the pieces report from their own threads
    std::atomic<int32_t> done[kMostShards]; // members done of each piece at its last check
    int32_t total;
};

struct PieceProgress {
    SharedProgress *shared;
    int index;
};

void ignoreText(void *, const wchar_t *) {}
void ignoreState(void *) {}

void reportPiece(void *state, int32_t completed, int32_t) {
    PieceProgress &piece = *static_cast<PieceProgress *>(state);
    SharedProgress &shared = *piece.shared;
    shared.done[piece.index].store(completed);
    if (!shared.open) return;
    int32_t sum = 0;
    for (const std::atomic<int32_t> &done : shared.done) sum += done.load();
    std::lock_guard<std::mutex> guard(shared.lock);
    shared.display.setProgress(shared.display.state, sum, shared.total);
}

bool stopAsked(void *) { return stopFlag.load(); }

ProgressDisplay pieceDisplay(PieceProgress &piece) {
    return ProgressDisplay{&piece, ignoreText, ignoreText, ignoreState, ignoreText,
                           reportPiece, stopAsked, ignoreState, ignoreState};
}

// The results, counters and reports of one piece.
struct Piece {
    HostArraySet results; // only the result arrays are used
    int32_t membersDone = 0;
    int32_t errorCount = 0;
    std::string listingFile;
    std::string errorFile;
    PieceProgress progress{};
    ProgressDisplay display{};
};

HostArrays assumptionsOf(HostArraySet &arrays) {
    for (size_t i = 0; i < arrays.statusCodes.size(); ++i)
        arrays.statusCodes[i] = arrays.statusCodeText[i].c_str();
    HostArrays host{};
    host.baseMortality = arrays.baseMortality.data();
    host.mortalityImprovement = arrays.mortalityImprovement.data();
    host.columnMap = arrays.columnMap.data();
    host.statusCodes = arrays.statusCodes.data();
    host.planParameters = arrays.planParameters.data();
    host.retirementFactors = arrays.retirementFactors.data();
    host.demographicParameters = arrays.demographicParameters.data();
    host.economicParameters = arrays.economicParameters.data();
    host.retirementRates = arrays.retirementRates.data();
    host.disabilityRates = arrays.disabilityRates.data();
    host.withdrawalRates = arrays.withdrawalRates.data();
    host.salaryScale = arrays.salaryScale.data();
    host.yearlyRates = arrays.yearlyRates.data();
    return host;
}

// Appends a piece's report to the whole one and removes the piece's file.
void appendFile(std::FILE *whole, const std::string &part) {
    std::FILE *in = std::fopen(part.c_str(), "rb");
    if (in != nullptr) {
        char buffer[1 << 16];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) std::fwrite(buffer, 1, got, whole);
        std::fclose(in);
    }
    std::remove(part.c_str());
}

void addInto(std::vector<double> &whole, const std::vector<double> &piece) {
    for (size_t i = 0; i < whole.size(); ++i) whole[i] += piece[i];
}

} // namespace

void requestParallelStop() { stopFlag.store(true); }
bool parallelStopRequested() { return stopFlag.load(); }

bool runInParallel(HostArraySet &arrays, const std::string &memberFile, const std::string &listingFile,
                   const std::string &errorFile, int jobs, RunCounters &counters) {
    stopFlag.store(false);
    static ShardPlan plan; // large: kept off the stack
    if (!planMemberShards(memberFile.c_str(), jobs, static_cast<int16_t>(arrays.delimiterCode),
                          arrays.columnMap.data(), plan))
        return false;

    const HostArrays assumptions = assumptionsOf(arrays);
    SharedProgress shared;
    shared.total = counters.memberTotal;
    for (std::atomic<int32_t> &done : shared.done) done.store(0);
    shared.open = openProgressDisplay(shared.display);
    if (shared.open) {
        wchar_t text[kProgressLineChars];
        formatProgressText(counters.memberTotal, text);
        shared.display.setTitle(shared.display.state, kProgressTitle);
        shared.display.setCancelMessage(shared.display.state, kCancelMessage);
        shared.display.start(shared.display.state);
        shared.display.setLine(shared.display.state, text);
    }

    std::vector<Piece> pieces(plan.shardCount);
    std::vector<std::thread> threads;
    for (int k = 0; k < plan.shardCount; ++k) {
        Piece &piece = pieces[k];
        piece.listingFile = listingFile + ".part" + std::to_string(k);
        piece.errorFile = errorFile + ".part" + std::to_string(k);
        piece.progress = PieceProgress{&shared, k};
        piece.display = pieceDisplay(piece.progress);
        threads.emplace_back([&, k] {
            Piece &mine = pieces[k];
            RunRequest request{};
            request.memberFile = memberFile.c_str();
            request.listingFile = mine.listingFile.c_str();
            request.errorFile = mine.errorFile.c_str();
            request.valuationYear = static_cast<int16_t>(arrays.valuationYear);
            request.mortalityBaseYear = static_cast<int16_t>(arrays.mortalityBaseYear);
            request.delimiterCode = static_cast<int16_t>(arrays.delimiterCode);
            request.memberTotal = counters.memberTotal;
            request.membersDone = &mine.membersDone;
            request.errorCount = &mine.errorCount;
            request.host = assumptions;
            request.host.memberCounts = mine.results.memberCounts.data();
            request.host.decrementCounts = mine.results.decrementCounts.data();
            request.host.benefitCashflows = mine.results.benefitCashflows.data();
            request.display = &mine.display;
            request.firstByte = plan.firstByte[k];
            request.byteCount = plan.byteCount[k];
            request.carried = &plan.carried[k];
            request.listingHeaders = k == 0;
            request.stopRequested = &stopFlag;
            runValuation(request);
        });
    }
    for (std::thread &thread : threads) thread.join();

    if (shared.open) {
        shared.display.stop(shared.display.state);
        shared.display.release(shared.display.state);
    }
    // joined in file order: the reports line for line, the results added up
    std::FILE *listing = std::fopen(listingFile.c_str(), "wb");
    std::FILE *errors = std::fopen(errorFile.c_str(), "wb");
    for (Piece &piece : pieces) {
        if (listing != nullptr) appendFile(listing, piece.listingFile);
        if (errors != nullptr) appendFile(errors, piece.errorFile);
        counters.membersDone += piece.membersDone;
        counters.errorCount += piece.errorCount;
        addInto(arrays.memberCounts, piece.results.memberCounts);
        addInto(arrays.decrementCounts, piece.results.decrementCounts);
        addInto(arrays.benefitCashflows, piece.results.benefitCashflows);
    }
    if (listing != nullptr) std::fclose(listing);
    if (errors != nullptr) std::fclose(errors);
    return true;
}
