// End-to-end: the built `talvek` on the examples and on small bases.
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "result_files.h"
#include "talvek_pension_model.h"

namespace fs = std::filesystem;

namespace {

// Every CSV file: the year column and the named blocks, 111 rows, and each
// value the element of the direct call's array.
void expectCsvEqualsArray(const fs::path &file, const std::vector<double> &results,
                          const char *const *columns, int blocks) {
    const auto rows = readCsv(file);
    ASSERT_EQ(rows.size(), 112u) << file;
    ASSERT_EQ(rows[0].size(), size_t(blocks + 1));
    EXPECT_EQ(rows[0][0], "year");
    for (int block = 1; block <= blocks; ++block) EXPECT_EQ(rows[0][block], columns[block]);
    for (int year = 0; year <= 110; ++year) {
        const auto &row = rows[year + 1];
        ASSERT_EQ(row.size(), size_t(blocks + 1));
        EXPECT_EQ(row[0], std::to_string(year));
        for (int block = 1; block <= blocks; ++block) {
            ASSERT_EQ(std::strtod(row[block].c_str(), nullptr), results[block * 111 + year])
                << file.filename() << " " << columns[block] << " year " << year;
        }
    }
}

void expectResultsOfDirectCall(const fs::path &outDirectory, const fs::path &basis,
                               const fs::path &members) {
    const fs::path direct = freshDirectory("direct");
    const HostArraySet arrays = directRun(basis, members, direct);
    expectCsvEqualsArray(outDirectory / kMemberCountsFile, arrays.memberCounts, kMemberCountColumns,
                         kMemberBlocks);
    expectCsvEqualsArray(outDirectory / kDecrementCountsFile, arrays.decrementCounts,
                         kDecrementCountColumns, kDecrementBlocks);
    expectCsvEqualsArray(outDirectory / kCashflowsFile, arrays.benefitCashflows, kCashflowColumns,
                         kCashflowBlocks);
    // the reports are those of the direct call too
    EXPECT_EQ(readText(outDirectory / kListingFile), readText(direct / "listing.txt"));
    EXPECT_EQ(readText(outDirectory / kErrorLogFile), readText(direct / "errors.txt"));
}

} // namespace

TEST(TalvekCommand, ExampleRunWritesNamedResultsEqualToADirectCall) {
    const fs::path out = freshDirectory("example") / "results";
    const fs::path basis = sourcePath("examples/basis.toml");
    const fs::path members = sourcePath("examples/members.txt");
    const CommandResult result =
        runTalvek("run --jobs 1 --basis " + basis.string() + " --members " + members.string() + " --out " + out.string());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("member lines           3000"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("members read           3000"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("year  in service"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("stopped"), std::string::npos);
    expectResultsOfDirectCall(out, basis, members);
    EXPECT_TRUE(fs::exists(out / "testoutput.txt"));
}

TEST(TalvekCommand, SmallRunFromAnotherDirectoryKeepsEveryFileInTheOutputDirectory) {
    const fs::path work = freshDirectory("small");
    fs::copy_file(smallBasisPath(), work / "basis.toml");
    writeText(work / "members.txt", smallMemberFile());
    fs::create_directories(work / "elsewhere");
    // relative paths, resolved from where the user stands
    const CommandResult result =
        runTalvek("run --jobs 1 --basis ../basis.toml --members ../members.txt --out ../res", work / "elsewhere");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("member lines              8"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("members read              7   (valued 6, unknown status 1)"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("members rejected          1"), std::string::npos) << result.out;
    EXPECT_TRUE(fs::exists(work / "res" / "testoutput.txt"));
    EXPECT_FALSE(fs::exists(work / "elsewhere" / "testoutput.txt"));
    expectResultsOfDirectCall(work / "res", work / "basis.toml", work / "members.txt");
}

TEST(TalvekCommand, BadBasisExitsWithStatus2AndWritesNothing) {
    struct Case {
        std::string basis;
        std::string key;
        std::string allowed;
    };
    const std::vector<Case> cases = {
        {editedSmallBasis("plan.averaging_years", 60), "plan.averaging_years", "a whole number from 1 to 59"},
        {editedSmallBasis("plan.guarantee_period", 0), "plan.guarantee_period", "a whole number from 1 to 19"},
        {editedSmallBasis("plan.guarantee_period", 2.5), "plan.guarantee_period", "a whole number from 1 to 19"},
        {editedSmallBasis("plan.retirement_factors.first_age", 62), "plan.retirement_factors.first_age",
         "a whole number from 15 to 61"},
        {editedSmallBasis("decrements.spouse_age_difference", 8), "decrements.spouse_age_difference",
         "a whole number from 0 to 6"},
        {editedSmallBasis("economic.salary_scale",
                          toml::table{{"from", 20}, {"rates", toml::array{0.01, "x"}}}),
         "economic.salary_scale.rates[1] (age 21)", "a number from -0.5 to 1"},
        {editedSmallBasis("plan.guarante_period", 2), "plan.guarante_period", "the keys averaging_years"},
        {smallBasisWithout("economic.salary_ceiling"), "economic.salary_ceiling", "a number from 1 to"},
    };
    const fs::path work = freshDirectory("bad");
    writeText(work / "members.txt", smallMemberFile());
    for (const Case &bad : cases) {
        writeText(work / "bad.toml", bad.basis);
        const CommandResult result = runTalvek("run --basis bad.toml --members members.txt --out out", work);
        EXPECT_EQ(result.status, 2) << bad.key;
        EXPECT_NE(result.err.find("bad.toml:"), std::string::npos) << result.err;
        const size_t keyAt = result.err.find(bad.key + ": ");
        ASSERT_NE(keyAt, std::string::npos) << bad.key << "\n" << result.err;
        EXPECT_NE(result.err.find("allowed: " + bad.allowed, keyAt), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("nothing was run"), std::string::npos);
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_FALSE(fs::exists(work / "out")) << bad.key;
    }
    EXPECT_FALSE(fs::exists(work / "testoutput.txt"));
}

TEST(TalvekCommand, MissingMemberFileIsRefusedBeforeAnythingIsWritten) {
    const fs::path work = freshDirectory("no-members");
    const CommandResult result =
        runTalvek("run --basis " + smallBasisPath().string() + " --members absent.txt --out out", work);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("absent.txt: the member file does not exist"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(work / "out"));
    const CommandResult count = runTalvek("count absent.txt", work);
    EXPECT_EQ(count.status, 2);
}

TEST(TalvekCommand, CountPrintsTheLibrarysCount) {
    const fs::path members = sourcePath("examples/members.txt");
    int32_t expected = -1;
    CountInputData(members.c_str(), &expected);
    const CommandResult result = runTalvek("count " + members.string());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, std::to_string(expected) + "\n");
    EXPECT_EQ(expected, 3000);
}

TEST(TalvekCommand, HelpExplainsEachCommandWithAnExample) {
    const CommandResult help = runTalvek("--help");
    EXPECT_EQ(help.status, 0);
    for (const char *text : {"run", "count", "generate", "Example:"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
    for (const char *command : {"run", "count", "generate"}) {
        const CommandResult sub = runTalvek(std::string(command) + " --help");
        EXPECT_EQ(sub.status, 0) << command;
        EXPECT_NE(sub.out.find(std::string("Example:\n  talvek ") + command), std::string::npos) << sub.out;
    }
    EXPECT_EQ(runTalvek("run --basis x.toml").status, 2);
    EXPECT_EQ(runTalvek("").status, 2);
}

TEST(TalvekCommand, GenerateReproducesTheCommittedExampleMembers) {
    const fs::path work = freshDirectory("generate");
    const CommandResult result = runTalvek("generate --members 3000 --seed 2024 --out members.txt", work);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readText(work / "members.txt"), readText(sourcePath("examples/members.txt")));
}

class StoppedRun : public ::testing::TestWithParam<const char *> {};

// Ctrl-C, whether the run goes through the exported function (one job) or in
// pieces (two jobs): each piece stops at its next progress check.
TEST_P(StoppedRun, CtrlCStopsTheRunAndTheResultsSoFarAreWritten) {
    const char *jobs = GetParam();
    const fs::path work = freshDirectory("stop");
    const int members = 300000;
    ASSERT_EQ(runTalvek("generate --members " + std::to_string(members) + " --seed 5 --out members.txt", work).status, 0);
    const fs::path out = work / "out";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int summary = open((work / "summary.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(summary, 1);
        const std::string basis = sourcePath("examples/basis.toml").string();
        const std::string memberFile = (work / "members.txt").string();
        execl(TALVEK_BINARY, "talvek", "run", "--jobs", jobs, "--basis", basis.c_str(), "--members",
              memberFile.c_str(), "--out", out.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // the listing (or its first piece) is opened inside the run, once Ctrl-C is watched for
    const fs::path listing = out / kListingFile;
    const fs::path firstPiece = out / (std::string(kListingFile) + ".part0");
    auto started = [&] { return fs::exists(listing) || fs::exists(firstPiece); };
    for (int wait = 0; wait < 3000 && !started(); ++wait) usleep(10000);
    ASSERT_TRUE(started());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string summary = readText(work / "summary.txt");
    EXPECT_NE(summary.find("run stopped by the user"), std::string::npos) << summary;
    const size_t readAt = summary.find("members read");
    ASSERT_NE(readAt, std::string::npos);
    const long read = std::strtol(summary.c_str() + readAt + 12, nullptr, 10);
    EXPECT_LT(read, members);
    for (const char *file : {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile}) {
        EXPECT_EQ(readCsv(out / file).size(), 112u) << file;
    }
    // the pieces' reports are joined and removed
    EXPECT_TRUE(fs::exists(listing));
    EXPECT_FALSE(fs::exists(firstPiece));
}

INSTANTIATE_TEST_SUITE_P(Jobs, StoppedRun, ::testing::Values("1", "2"));

// A run in pieces gives the reports of one run line for line and its results
// to within 1e-12 (the sums are added in another order).
TEST(TalvekCommand, PiecesGiveTheResultsOfOneRun) {
    const fs::path work = freshDirectory("jobs");
    ASSERT_EQ(runTalvek("generate --members 20000 --seed 11 --out members.txt", work).status, 0);
    const std::string common = " --basis " + sourcePath("examples/basis.toml").string() + " --members " +
                               (work / "members.txt").string();
    ASSERT_EQ(runTalvek("run --jobs 1 --out one" + common, work).status, 0);
    for (const char *jobs : {"2", "3", "7"}) {
        const fs::path out = work / (std::string("jobs") + jobs);
        const CommandResult result = runTalvek("run --jobs " + std::string(jobs) + " --out " + out.string() + common, work);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(readText(out / kListingFile), readText(work / "one" / kListingFile)) << jobs;
        EXPECT_EQ(readText(out / kErrorLogFile), readText(work / "one" / kErrorLogFile)) << jobs;
        for (const char *file : {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile}) {
            const auto whole = readCsv(work / "one" / file);
            const auto pieces = readCsv(out / file);
            ASSERT_EQ(whole.size(), pieces.size());
            for (size_t row = 1; row < whole.size(); ++row) {
                for (size_t column = 1; column < whole[row].size(); ++column) {
                    const double a = std::strtod(whole[row][column].c_str(), nullptr);
                    const double b = std::strtod(pieces[row][column].c_str(), nullptr);
                    ASSERT_LE(std::fabs(a - b), 1e-12 * std::fmax(std::fabs(a), std::fabs(b)))
                        << file << " row " << row << " column " << column << " jobs " << jobs;
                }
            }
        }
        EXPECT_NE(result.out.find("members read          20000"), std::string::npos) << result.out;
    }
}

// The example plan's results as recorded: any change to the arithmetic, its
// order or the build shows here to the last bit (17 significant digits).
TEST(TalvekCommand, ExampleResultsStayAsRecorded) {
    const fs::path out = freshDirectory("recorded") / "results";
    const CommandResult result = runTalvek("run --jobs 1 --basis " + sourcePath("examples/basis.toml").string() +
                                           " --members " + sourcePath("examples/members.txt").string() +
                                           " --out " + out.string());
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char *file : {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile}) {
        EXPECT_EQ(readText(out / file), readText(sourcePath(std::string("tests/host/reference/example/") + file)))
            << file;
    }
}
