// The engine's run: pieces of any size, any number of jobs, the same bytes;
// the checks of one job at every 1000 members; a stop keeps exactly the
// lines before it; failures named.
#include "engine/engine_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/engine_test_support.h"
#include "engine/piece_plan.h"
#include "talvek/engine.h"

namespace fs = std::filesystem;

namespace {

const char *const kCases[] = {"status1-in-service", "status2-pensioners", "status3-disabled",
                              "status4-deferred",   "status5-spouses",    "mixed-a",
                              "mixed-b",            "mixed-c"};

double largestRelativeDifference(const std::vector<double> &a, const std::vector<double> &b) {
    double largest = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double scale = std::max(std::fabs(a[i]), std::fabs(b[i]));
        if (scale > 0) largest = std::max(largest, std::fabs(a[i] - b[i]) / scale);
    }
    return largest;
}

class EngineCase : public ::testing::TestWithParam<const char *> {};

// The reference cases hold lines that carry their member number and status
// over, long lines, CR LF, blank lines and a last line without a line feed:
// cut into pieces of a few bytes, every piece starts from what a run over
// the whole file would carry into it, and every number of jobs joins the
// pieces into the same bytes. Against one piece the sums move by rounding
// only.
TEST_P(EngineCase, EveryPieceSizeAndNumberOfJobsGivesOneRunsReports) {
    ReferenceCase reference = loadReferenceCase(GetParam());
    const fs::path dir = makeScratchDirectory(std::string("engine-") + GetParam());
    EngineRunOptions whole;
    whole.pieceBytes = int64_t{1} << 40; // one piece: the member-by-member sum
    const EngineRunResult one = runCase(reference, dir, whole);
    ASSERT_EQ(one.outcome.status, TALVEK_OK) << one.outcome.message;
    ASSERT_GT(one.outcome.lineReads, 0);
    for (int64_t pieceBytes : {int64_t{1}, int64_t{7}, int64_t{64}, int64_t{333}, int64_t{TALVEK_PIECE_BYTES}}) {
        EngineRunOptions options;
        options.pieceBytes = pieceBytes;
        const EngineRunResult sequential = runCase(reference, dir, options);
        EXPECT_EQ(sequential.listing, one.listing) << pieceBytes;
        EXPECT_EQ(sequential.errors, one.errors) << pieceBytes;
        EXPECT_EQ(sequential.outcome.membersDone, one.outcome.membersDone);
        EXPECT_EQ(sequential.outcome.errorCount, one.outcome.errorCount);
        EXPECT_LE(largestRelativeDifference(sequential.memberCounts, one.memberCounts), 1e-12);
        EXPECT_LE(largestRelativeDifference(sequential.decrementCounts, one.decrementCounts), 1e-12);
        EXPECT_LE(largestRelativeDifference(sequential.benefitCashflows, one.benefitCashflows), 1e-12);
        for (int32_t jobs : {2, 3, 7, 16}) {
            options.jobs = jobs;
            const EngineRunResult pooled = runCase(reference, dir, options);
            expectSameRun(pooled, sequential,
                          "pieces of " + std::to_string(pieceBytes) + " bytes, " + std::to_string(jobs) + " jobs");
        }
        options.jobs = 3;
        options.fromMemory = true;
        expectSameRun(runCase(reference, dir, options), sequential, "from memory");
    }
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(ReferenceCases, EngineCase, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<const char *> &param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(EngineRun, OneJobChecksAtEveryThousandMembersCountedFromTheBase) {
    ReferenceCase reference = manyMembers(2500);
    const fs::path dir = makeScratchDirectory("engine-checks");
    EngineRunOptions options;
    options.pieceBytes = 4096; // the count goes on across pieces
    options.memberTotal = 2500;
    const EngineRunResult run = runCase(reference, dir, options);
    const std::vector<std::pair<int64_t, int64_t>> expected{{0, 2500}, {1000, 2500}, {2000, 2500}};
    EXPECT_EQ(run.checks, expected);
    EXPECT_EQ(run.outcome.membersDone, 2500);

    // a host counter at 700 before the run: the checks fall at 1000 and 2000
    // of that counter, 300 and 1300 members into the run
    options.checkBase = 700;
    const EngineRunResult based = runCase(reference, dir, options);
    const std::vector<std::pair<int64_t, int64_t>> expectedBased{{1000, 2500}, {2000, 2500}, {3000, 2500}};
    EXPECT_EQ(based.checks, expectedBased);
    fs::remove_all(dir);
}

TEST(EngineRun, OneJobStopKeepsTheMembersDoneAtTheCheck) {
    ReferenceCase reference = manyMembers(2500);
    const fs::path dir = makeScratchDirectory("engine-stop-one");
    EngineRunOptions options;
    options.pieceBytes = 4096;
    options.stopAtCheck = 1; // before the first line
    const EngineRunResult first = runCase(reference, dir, options);
    EXPECT_EQ(first.outcome.status, TALVEK_STOPPED);
    EXPECT_TRUE(first.outcome.stopped);
    EXPECT_EQ(first.outcome.membersDone, 0);
    EXPECT_EQ(std::count(first.listing.begin(), first.listing.end(), '\n'), 2);
    options.stopAtCheck = 3; // at 2000 members
    const EngineRunResult later = runCase(reference, dir, options);
    EXPECT_EQ(later.outcome.membersDone, 2000);
    EXPECT_EQ(later.memberCounts[TALVEK_MEMBERS_LINES_READ], 2000.0);
    EXPECT_EQ(std::count(later.listing.begin(), later.listing.end(), '\n'), 2 + 2000);
    fs::remove_all(dir);
}

// With several jobs a stop ends the run at whatever line each piece is at;
// what is kept is a prefix of the file: the same results, byte for byte, as
// a run of just those lines.
TEST(EngineRun, StopOnSeveralJobsKeepsAPrefixOfTheFile) {
    ReferenceCase reference = manyMembers(20000);
    const fs::path dir = makeScratchDirectory("engine-stop-pool");
    EngineRunOptions options;
    options.jobs = 2;
    options.pieceBytes = 2048;
    options.stopAtCheck = 2;
    const EngineRunResult stopped = runCase(reference, dir, options);
    ASSERT_EQ(stopped.outcome.status, TALVEK_STOPPED);
    const int64_t kept = stopped.outcome.lineReads;
    EXPECT_LT(kept, 20000);
    EXPECT_EQ(stopped.outcome.membersDone, kept);
    EXPECT_EQ(std::count(stopped.listing.begin(), stopped.listing.end(), '\n'), 2 + kept);

    // the same lines alone, with the same pieces
    ReferenceCase prefix = reference;
    const size_t lineBytes = reference.memberBytes.find('\n') + 1;
    prefix.memberBytes = reference.memberBytes.substr(0, static_cast<size_t>(kept) * lineBytes);
    EngineRunOptions plain;
    plain.pieceBytes = 2048;
    EngineRunResult alone = runCase(prefix, dir, plain);
    alone.outcome.status = TALVEK_STOPPED;
    expectSameRun(stopped, alone, "the prefix");
    fs::remove_all(dir);
}

TEST(EngineRun, MissingMemberFileIsNamedAndTheReportsHoldTheHeadersOnly) {
    ReferenceCase reference = loadReferenceCase("mixed-a");
    const fs::path dir = makeScratchDirectory("engine-missing");
    EngineRunResult result;
    const std::string listing = (dir / "listing.txt").string();
    const std::string errors = (dir / "errors.txt").string();
    const std::string missing = (dir / "no-such-file.txt").string();
    EngineRequest request{};
    request.source = MemberSource{missing.c_str(), nullptr, 0};
    request.listingFile = listing.c_str();
    request.errorFile = errors.c_str();
    request.assumptions = reference.host.arrays();
    request.jobs = 2;
    request.pieceBytes = TALVEK_PIECE_BYTES;
    int started = 0, ended = 0;
    struct Counts {
        int *started, *ended;
    } counts{&started, &ended};
    request.hooks = RunHooks{&counts, [](void *c) { ++*static_cast<Counts *>(c)->started; },
                             [](void *, int64_t, int64_t) { return false; },
                             [](void *c) { ++*static_cast<Counts *>(c)->ended; }};
    request.memberCounts = result.memberCounts.data();
    request.decrementCounts = result.decrementCounts.data();
    request.benefitCashflows = result.benefitCashflows.data();
    runEngine(request, result.outcome);
    EXPECT_EQ(result.outcome.status, TALVEK_ERROR_MEMBER_FILE);
    EXPECT_NE(std::string(result.outcome.message).find(missing), std::string::npos) << result.outcome.message;
    EXPECT_NE(std::string(result.outcome.message).find("No such file"), std::string::npos) << result.outcome.message;
    const std::string listed = readWholeFile(listing);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 2);
    EXPECT_EQ(readWholeFile(errors), "");
    EXPECT_EQ(started, 1);
    EXPECT_EQ(ended, 1);
    fs::remove_all(dir);
}

// A listing on a full device: the run says which file and why, instead of
// reporting success.
TEST(EngineRun, FailedWriteOfAReportIsTheRunsError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
    ReferenceCase reference = manyMembers(3000);
    const fs::path dir = makeScratchDirectory("engine-full");
    writeWholeFile(dir / "members.txt", reference.memberBytes);
    for (int32_t jobs : {1, 2}) {
        EngineRunResult result;
        const std::string members = (dir / "members.txt").string();
        const std::string errors = (dir / "errors.txt").string();
        EngineRequest request{};
        request.source = MemberSource{members.c_str(), nullptr, 0};
        request.listingFile = "/dev/full";
        request.errorFile = errors.c_str();
        request.assumptions = reference.host.arrays();
        request.valuationYear = reference.valuationYear;
        request.mortalityBaseYear = reference.mortalityBaseYear;
        request.delimiterCode = reference.delimiterCode;
        request.jobs = jobs;
        request.pieceBytes = 4096;
        request.hooks = RunHooks{nullptr, [](void *) {}, [](void *, int64_t, int64_t) { return false; },
                                 [](void *) {}};
        request.memberCounts = result.memberCounts.data();
        request.decrementCounts = result.decrementCounts.data();
        request.benefitCashflows = result.benefitCashflows.data();
        runEngine(request, result.outcome);
        EXPECT_EQ(result.outcome.status, TALVEK_ERROR_REPORT) << jobs;
        const std::string message = result.outcome.message;
        EXPECT_NE(message.find("/dev/full"), std::string::npos) << message;
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
        // the arrays are complete all the same
        EXPECT_EQ(result.outcome.membersDone, 3000) << jobs;
    }
    fs::remove_all(dir);
}

TEST(PiecePlan, PiecesStartAfterLineFeedsAndCoverTheFile) {
    const std::string bytes = "aaaa\nbb\n\ncccccccccccc\nd";
    const MemberSource source{nullptr, reinterpret_cast<const unsigned char *>(bytes.data()),
                              static_cast<int64_t>(bytes.size())};
    const int64_t size = static_cast<int64_t>(bytes.size());
    EXPECT_EQ(pieceCount(0, 4), 0);
    EXPECT_EQ(pieceCount(size, 4), 6); // 23 bytes
    int64_t end = 0;
    for (int64_t k = 0; k < pieceCount(size, 4); ++k) {
        PieceBounds bounds{};
        ASSERT_TRUE(pieceBounds(source, size, 4, k, bounds));
        EXPECT_EQ(bounds.firstByte, end) << k; // no gap, no overlap
        EXPECT_TRUE(bounds.firstByte == 0 || bounds.firstByte == size || bytes[bounds.firstByte - 1] == '\n');
        EXPECT_LE(bounds.firstByte, bounds.endByte);
        end = bounds.endByte;
    }
    EXPECT_EQ(end, size);
    // a line starting exactly at a piece's first byte belongs to that piece
    int64_t start = -1;
    ASSERT_TRUE(lineStartAtOrAfter(source, size, 5, start));
    EXPECT_EQ(start, 5);
    ASSERT_TRUE(lineStartAtOrAfter(source, size, 6, start));
    EXPECT_EQ(start, 8);
    ASSERT_TRUE(lineStartAtOrAfter(source, size, 10, start));
    EXPECT_EQ(start, 22);
}

} // namespace
