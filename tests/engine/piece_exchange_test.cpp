// A run whose pieces are valued by several processes: each process values
// the pieces it owns and gives their images; the joining process takes the
// others' and joins every piece in file order. Whatever the share, the
// piece size and the jobs on either side, the run is the same bytes as one
// process's; a missing, foreign or damaged image ends the run, named.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/engine_run.h"
#include "engine/engine_test_support.h"
#include "engine/piece_plan.h"
#include "talvek/engine.h"

namespace fs = std::filesystem;

namespace {

// The images every process has given, and how the joining process is served.
struct ImageStore {
    int processes = 2;
    int64_t runLength = 1;
    int self = 0; // the process now running
    std::map<std::pair<int32_t, int64_t>, std::vector<char>> images;
    int64_t takes = 0;
    int64_t lastTaken = -1;
    int giveStopsAt = -1;          // the give (counted from 0) that answers "stop"; -1: none
    int gives = 0;
    bool handOtherPiece = false;   // serve the image of the piece after the one asked
    int64_t cutImagesTo = -1;      // serve only this many bytes of each image
};

int ownerOf(const ImageStore &store, int64_t piece) { return static_cast<int>((piece / store.runLength) % store.processes); }

int32_t owns(void *user, int32_t, int64_t piece) {
    const ImageStore &store = *static_cast<const ImageStore *>(user);
    return ownerOf(store, piece) == store.self ? 1 : 0;
}

int32_t keep(void *user, int32_t run, int64_t piece, const void *image, int64_t size) {
    ImageStore &store = *static_cast<ImageStore *>(user);
    EXPECT_NE(ownerOf(store, piece), 0) << "the joining process's own piece was given";
    const char *bytes = static_cast<const char *>(image);
    store.images[{run, piece}] = std::vector<char>(bytes, bytes + size);
    return store.gives++ == store.giveStopsAt ? 1 : 0;
}

int32_t serve(void *user, int32_t run, int64_t piece, const void **image, int64_t *size, char *message,
              int64_t messageSize) {
    ImageStore &store = *static_cast<ImageStore *>(user);
    EXPECT_NE(ownerOf(store, piece), 0) << "a piece of its own was asked for";
    EXPECT_GT(piece, store.lastTaken) << "pieces taken out of file order";
    ++store.takes;
    store.lastTaken = piece;
    const auto found = store.images.find({run, store.handOtherPiece ? piece + 1 : piece});
    if (found == store.images.end()) {
        std::snprintf(message, static_cast<size_t>(messageSize), "process %d sent nothing for piece %lld",
                      ownerOf(store, piece), static_cast<long long>(piece));
        return TALVEK_ERROR_MEMBER_FILE;
    }
    *image = found->second.data();
    *size = store.cutImagesTo >= 0 ? store.cutImagesTo : static_cast<int64_t>(found->second.size());
    return TALVEK_OK;
}

TalvekPieceExchange exchangeOf(ImageStore &store) {
    TalvekPieceExchange exchange{};
    exchange.user = &store;
    exchange.owns = owns;
    exchange.give = keep;
    exchange.take = serve;
    return exchange;
}

// Every process but the first gives its pieces; then the first joins them.
EngineRunResult sharedRun(ReferenceCase &reference, const fs::path &dir, ImageStore &store, EngineRunOptions options,
                          int32_t givingJobs) {
    const TalvekPieceExchange exchange = exchangeOf(store);
    for (int p = 1; p < store.processes; ++p) {
        store.self = p;
        const PieceShare giving{&exchange, 0, true};
        EngineRunOptions give = options;
        give.jobs = givingJobs;
        give.share = &giving;
        const EngineRunResult given = runCase(reference, dir, give);
        EXPECT_TRUE(given.outcome.status == TALVEK_OK || given.outcome.status == TALVEK_STOPPED)
            << given.outcome.message;
    }
    store.self = 0;
    const PieceShare joining{&exchange, 0, false};
    options.share = &joining;
    return runCase(reference, dir, options);
}

class SharedCase : public ::testing::TestWithParam<const char *> {};

// The reference cases carry member numbers and statuses over from line to
// line, hold long lines, CR LF and blank lines: in pieces of a few bytes a
// process that gives often starts right after another process's piece, and
// must find what that piece carries over from the lines before it.
TEST_P(SharedCase, EveryShareGivesOneProcesssBytes) {
    ReferenceCase reference = loadReferenceCase(GetParam());
    const fs::path dir = makeScratchDirectory(std::string("exchange-") + GetParam());
    for (int64_t pieceBytes : {int64_t{7}, int64_t{64}, int64_t{333}, int64_t{TALVEK_PIECE_BYTES}}) {
        EngineRunOptions options;
        options.pieceBytes = pieceBytes;
        const EngineRunResult alone = runCase(reference, dir, options);
        ASSERT_EQ(alone.outcome.status, TALVEK_OK) << alone.outcome.message;
        const int64_t pieces = pieceCount(static_cast<int64_t>(reference.memberBytes.size()), pieceBytes);
        for (int processes : {2, 3}) {
            for (int64_t runLength : {int64_t{1}, int64_t{3}}) {
                for (int32_t jobs : {1, 3}) {
                    ImageStore store;
                    store.processes = processes;
                    store.runLength = runLength;
                    options.jobs = jobs;
                    const EngineRunResult shared = sharedRun(reference, dir, store, options, 4 - jobs);
                    const std::string what = std::to_string(pieceBytes) + " bytes a piece, " +
                                             std::to_string(processes) + " processes, runs of " +
                                             std::to_string(runLength) + ", " + std::to_string(jobs) + " jobs";
                    expectSameRun(shared, alone, what);
                    // every piece another process owns was given once and taken once
                    int64_t others = 0;
                    for (int64_t k = 0; k < pieces; ++k) others += ownerOf(store, k) != 0 ? 1 : 0;
                    EXPECT_EQ(static_cast<int64_t>(store.images.size()), others) << what;
                    EXPECT_EQ(store.takes, others) << what;
                }
            }
        }
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(ReferenceCases, SharedCase,
                         ::testing::Values("status1-in-service", "status5-spouses", "mixed-a", "mixed-c"),
                         [](const ::testing::TestParamInfo<const char *> &param) {
                             std::string name = param.param;
                             for (char &c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

TEST(PieceExchange, AMissingForeignOrDamagedImageEndsTheRunNamed) {
    ReferenceCase reference = manyMembers(600);
    const fs::path dir = makeScratchDirectory("exchange-faults");
    EngineRunOptions options;
    options.pieceBytes = 2048;

    // nothing was given: the joining process's own message and status
    ImageStore none;
    const TalvekPieceExchange exchange = exchangeOf(none);
    const PieceShare joining{&exchange, 0, false};
    options.share = &joining;
    const EngineRunResult missing = runCase(reference, dir, options);
    EXPECT_EQ(missing.outcome.status, TALVEK_ERROR_MEMBER_FILE);
    EXPECT_STREQ(missing.outcome.message, "process 1 sent nothing for piece 1");
    options.share = nullptr;

    // pieces 2 and 3 are the other process's: asked for 2, it hands over 3
    ImageStore other;
    other.runLength = 2;
    other.handOtherPiece = true;
    const EngineRunResult foreign = sharedRun(reference, dir, other, options, 1);
    EXPECT_EQ(foreign.outcome.status, TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(foreign.outcome.message, "the image of piece 2 of run 0 holds another piece or another run");

    ImageStore cut;
    cut.cutImagesTo = 4000;
    const EngineRunResult shortened = sharedRun(reference, dir, cut, options, 1);
    EXPECT_EQ(shortened.outcome.status, TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(shortened.outcome.message, "the image of piece 1 of run 0 does not have the length its head gives");
    // the joined pieces before the damaged one are kept, as a run that fails keeps them
    EXPECT_GT(shortened.outcome.lineReads, 0);
    fs::remove_all(dir);
}

TEST(PieceExchange, AGiveThatSaysStopEndsTheGivingRunStopped) {
    ReferenceCase reference = manyMembers(600);
    const fs::path dir = makeScratchDirectory("exchange-give-stop");
    for (int32_t jobs : {1, 2}) {
        ImageStore store;
        store.self = 1;
        store.giveStopsAt = 1; // the second piece of its own
        const TalvekPieceExchange exchange = exchangeOf(store);
        const PieceShare giving{&exchange, 0, true};
        EngineRunOptions options;
        options.pieceBytes = 2048;
        options.jobs = jobs;
        options.share = &giving;
        const EngineRunResult given = runCase(reference, dir, options);
        EXPECT_EQ(given.outcome.status, TALVEK_STOPPED) << jobs;
        EXPECT_TRUE(given.outcome.stopped);
        EXPECT_EQ(store.gives, 2) << jobs;
    }
    fs::remove_all(dir);
}

// A process stopped by its check gives the piece it stopped in, cut at the
// stop; the joining process joins it and ends there, stopped, without
// asking for any piece after it.
TEST(PieceExchange, AStoppedImageStopsTheJoinedRunAtThatPiece) {
    ReferenceCase reference = manyMembers(3000);
    const fs::path dir = makeScratchDirectory("exchange-stopped");
    EngineRunOptions options;
    options.pieceBytes = 4096;
    const EngineRunResult alone = runCase(reference, dir, options);
    ImageStore store;
    store.self = 1;
    const TalvekPieceExchange exchange = exchangeOf(store);
    const PieceShare giving{&exchange, 0, true};
    EngineRunOptions give = options;
    give.share = &giving;
    give.stopAtCheck = 2; // at its 1000th member
    EXPECT_EQ(runCase(reference, dir, give).outcome.status, TALVEK_STOPPED);
    ASSERT_FALSE(store.images.empty());
    const int64_t stoppedPiece = store.images.rbegin()->first.second;

    store.self = 0;
    const PieceShare joining{&exchange, 0, false};
    options.share = &joining;
    const EngineRunResult joined = runCase(reference, dir, options);
    EXPECT_EQ(joined.outcome.status, TALVEK_STOPPED);
    EXPECT_TRUE(joined.outcome.stopped);
    EXPECT_EQ(store.lastTaken, stoppedPiece);
    EXPECT_GT(joined.outcome.membersDone, 1000);
    EXPECT_LT(joined.outcome.membersDone, alone.outcome.membersDone);
    fs::remove_all(dir);
}

} // namespace
