// What a run does with each kind of line, seen through the exported functions
// and the counters, listing and error log a host gets back.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "api/api_test_support.h"

namespace {

const std::string kHeaders =
    " Member    Status  Age  Sex     Annual    Service   Service   Current  Marital  Spouse  Retired\n"
    " Number                         Salary    WithGtee   NoGtee   Pension  Status     Age    Years\n";

std::string memberLine(const std::string &number, const std::string &status, int age) {
    return number + "\t" + status + "\t" + std::to_string(age) +
           "\tM\t30000.50\t520\t0\t0\tM\t0\t0\t0\t0\t0\t\n";
}

size_t lineCount(const std::string &text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(RunDriver, ThreeGoodLinesAreCountedValuedAndListed) {
    ExportedRun run("three-good");
    run.run(memberLine("A1", "Z", 45) + memberLine("A2", "Z", 46) + memberLine("A3", "Z", 47));
    EXPECT_EQ(run.membersDone, 3);
    EXPECT_EQ(run.host.memberCounts[0], 3.0);
    EXPECT_EQ(lineCount(run.listing()), 2u + 3u);
    EXPECT_EQ(run.listing().substr(0, kHeaders.size()), kHeaders);
}

TEST(RunDriver, FieldErrorAbandonsTheLineButListsIt) {
    ExportedRun run("field-error");
    run.host.statusCodeText[1] = "Z";
    run.run(memberLine("A1", "Z", 45) + memberLine("A2", "Z", 130) + memberLine("A3", "Z", 47));
    EXPECT_EQ(run.membersDone, 2);
    EXPECT_EQ(run.errorCount, 1);
    EXPECT_EQ(run.host.memberCounts[0], 2.0);
    EXPECT_EQ(run.errors(), "Error: Member A2        , member age 130 outside allowable range.\n");
    EXPECT_EQ(lineCount(run.listing()), 2u + 3u);
}

TEST(RunDriver, UnknownStatusIsLoggedButNotCountedAsAnError) {
    ExportedRun run("unknown-status");
    run.run(memberLine("A1", "Q", 45));
    EXPECT_EQ(run.errors(), "Could not identify status  Q      of member A1        \n");
    EXPECT_EQ(run.errorCount, 0);
    EXPECT_EQ(run.membersDone, 1);
    EXPECT_EQ(run.host.memberCounts[0], 1.0);
}

TEST(RunDriver, CountersAreOnlyIncremented) {
    ExportedRun run("counters");
    run.membersDone = 41;
    run.errorCount = 7;
    run.memberTotal = 12345;
    run.host.memberCounts[0] = 10.0;
    run.run(memberLine("A1", "Q", 45) + memberLine("A2", "Q", 14));
    EXPECT_EQ(run.membersDone, 42);
    EXPECT_EQ(run.errorCount, 8);
    EXPECT_EQ(run.host.memberCounts[0], 11.0);
    EXPECT_EQ(run.memberTotal, 12345);
}

TEST(RunDriver, LongLineIsReadAsTwoLines) {
    ExportedRun run("long-line");
    run.run(std::string(600, 'x') + "\n");
    EXPECT_EQ(lineCount(run.listing()), 2u + 2u);
}

TEST(RunDriver, EmptyFileLeavesHeadersAndAnEmptyScratchFile) {
    ExportedRun run("empty");
    run.run("");
    EXPECT_EQ(run.listing(), kHeaders);
    EXPECT_EQ(run.errors(), "");
    EXPECT_EQ(run.membersDone, 0);
    EXPECT_EQ(run.errorCount, 0);
    ASSERT_TRUE(std::filesystem::exists(run.path("testoutput.txt")));
    EXPECT_EQ(std::filesystem::file_size(run.path("testoutput.txt")), 0u);
}

TEST(RunDriver, MissingMemberFileReadsNoMember) {
    ExportedRun run("missing-members");
    run.runFiles(run.path("no-such-file.txt").string(), run.path("listing.txt").string(),
                 run.path("errors.txt").string());
    EXPECT_EQ(run.listing(), kHeaders);
    EXPECT_EQ(run.errors(), "");
    EXPECT_EQ(run.membersDone, 0);
}

TEST(RunDriver, UnwritableReportEndsTheRunBeforeAnyMember) {
    ExportedRun run("unwritable-report");
    writeWholeFile(run.path("members.txt"), memberLine("A1", "A", 45));
    run.runFiles(run.path("members.txt").string(), run.path("no-dir/listing.txt").string(),
                 run.path("errors.txt").string());
    EXPECT_EQ(run.membersDone, 0);
    EXPECT_EQ(run.host.memberCounts[0], 0.0);
    run.runFiles(run.path("members.txt").string(), run.path("listing.txt").string(),
                 run.path("no-dir/errors.txt").string());
    EXPECT_EQ(run.membersDone, 0);
    EXPECT_EQ(run.errorCount, 0);
}

} // namespace
