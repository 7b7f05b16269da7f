// End-to-end: the built `talvek` on the examples and on small bases.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "result_files.h"
#include "valuation_files.h"
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
    // the engine writes no scratch file: that is the legacy call's alone
    EXPECT_FALSE(fs::exists(out / "testoutput.txt"));
}

TEST(TalvekCommand, SmallRunFromAnotherDirectoryKeepsEveryFileInTheOutputDirectory) {
    const fs::path work = freshDirectory("small");
    fs::copy_file(smallBasisPath(), work / "basis.toml");
    writeText(work / "members.txt", smallMemberFile());
    fs::create_directories(work / "elsewhere");
    // relative paths, resolved from where the user stands
    const CommandResult result =
        runTalvek("run --jobs 1 --basis ../basis.toml --members ../members.txt --out ../res", work / "elsewhere");
    // one line rejected and one of unknown status: results written, status 3
    ASSERT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.err.find("1 line rejected and 1 member of unknown status; see " +
                              (work / "res" / "errors.txt").string()),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("member lines              8"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("members read              7   (valued 6, unknown status 1)"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("members rejected          1"), std::string::npos) << result.out;
    EXPECT_FALSE(fs::exists(work / "res" / "testoutput.txt"));
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
    EXPECT_NE(result.err.find("absent.txt: the member file cannot be read: No such file or directory"),
              std::string::npos)
        << result.err;
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

struct StopCase {
    const char *jobs;
    int signalNumber;
    int exitStatus;
    const char *stoppedBy;
};

class StoppedRun : public ::testing::TestWithParam<StopCase> {};

// Ctrl-C or SIGTERM, with one job (the pieces one after another) or two (on
// two threads): the run stops at its next check, and the lines before it
// are written whole into --out, marked as stopped at the top of the summary,
// in each CSV's first line and in run.json; no temporary file stays.
TEST_P(StoppedRun, StopSignalEndsTheRunWithItsResultsMarkedAsStopped) {
    const StopCase stop = GetParam();
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
        execl(TALVEK_BINARY, "talvek", "run", "--jobs", stop.jobs, "--basis", basis.c_str(), "--members",
              memberFile.c_str(), "--out", out.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // the listing is opened inside the run, in the temporary folder beside
    // --out, once the stop signals are watched for; its first lines say that
    // members have been read, so that the stop comes after some (on a loaded
    // machine the open alone may come well before the first line is valued)
    const fs::path listing = work / (".out.talvek-partial-" + std::to_string(child)) / kListingFile;
    auto started = [&] {
        std::error_code error;
        const auto size = fs::file_size(listing, error);
        return !error && size > 0;
    };
    for (int wait = 0; wait < 3000 && !started(); ++wait) usleep(10000);
    ASSERT_TRUE(started());
    kill(child, stop.signalNumber);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), stop.exitStatus);
    const std::string summary = readText(work / "summary.txt");
    // the first line of the results' summary, after the member data summary
    const size_t stoppedAt = summary.find(std::string("STOPPED: the run was stopped (") + stop.stoppedBy + ")");
    ASSERT_NE(stoppedAt, std::string::npos) << summary;
    EXPECT_TRUE(stoppedAt == 0 || summary[stoppedAt - 1] == '\n') << summary;
    EXPECT_LT(stoppedAt, summary.find("Valuation of ")) << summary;
    const size_t readAt = summary.find("  members read"); // the counts line, not the stop line
    ASSERT_NE(readAt, std::string::npos);
    const long read = std::strtol(summary.c_str() + readAt + 14, nullptr, 10);
    EXPECT_GT(read, 0);
    EXPECT_LT(read, members);
    const std::string mark = std::string("# STOPPED by ") + stop.stoppedBy + ": these results cover only the first " +
                             std::to_string(read) + " lines of the member file; see run.json\n";
    for (const char *file : {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile}) {
        EXPECT_EQ(readText(out / file).rfind(mark, 0), 0u) << file;
        EXPECT_EQ(readCsv(out / file).size(), 113u) << file; // the mark, the header, years 0..110
    }
    // the valuation's files of the lines read carry the same mark
    for (const char *file : {kMemberCountsByStatusFile, kDecrementCountsByStatusFile, kCashflowsByStatusFile,
                             kPresentValuesFile})
        EXPECT_EQ(readText(out / file).rfind(mark, 0), 0u) << file;
    const std::string record = readText(out / "run.json");
    EXPECT_NE(record.find("\"complete\": false"), std::string::npos) << record;
    EXPECT_NE(record.find(std::string("\"stopped_by\": \"") + stop.stoppedBy + "\""), std::string::npos) << record;
    EXPECT_NE(record.find("\"exit_status\": " + std::to_string(stop.exitStatus)), std::string::npos) << record;
    EXPECT_NE(record.find("\"lines_read\": " + std::to_string(read) + ","), std::string::npos) << record;
    // the listing holds exactly the lines read before the stop: the headers,
    // then one line per member read (every generated line is valid)
    const std::string listed = readText(out / kListingFile);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 2 + read);
    for (const fs::directory_entry &entry : fs::directory_iterator(work))
        EXPECT_EQ(entry.path().filename().string().find(".talvek-"), std::string::npos) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(JobsAndSignals, StoppedRun,
                         ::testing::Values(StopCase{"1", SIGINT, 130, "Ctrl-C"}, StopCase{"2", SIGINT, 130, "Ctrl-C"},
                                           StopCase{"1", SIGTERM, 143, "SIGTERM"},
                                           StopCase{"2", SIGTERM, 143, "SIGTERM"}));

namespace {

// 64-bit FNV-1a of a file's bytes.
uint64_t hashOfFile(const fs::path &path) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : readText(path)) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

// One value for the results of a run: the CSV files (numbers in full
// precision, so the arrays to the bit), the listing and the error log.
uint64_t hashOfRun(const fs::path &out) {
    uint64_t hash = 0;
    for (const char *file : {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile, kListingFile, kErrorLogFile})
        hash = hash * 31 + hashOfFile(out / file);
    return hash;
}

// What a command prints on its standard output.
std::string outputOf(const std::string &command) {
    std::string text;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    pclose(pipe);
    return text;
}

} // namespace

// talvek values through the engine's shared library and holds nothing of
// the engine itself, nor of the legacy library.
TEST(TalvekCommand, LinksTheEngineLibraryOnly) {
    const std::string libraries = outputOf(std::string("ldd '") + TALVEK_BINARY + "'");
    EXPECT_NE(libraries.find("libtalvek.so"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libTalvek_Pension_Model"), std::string::npos) << libraries;
    const std::string symbols = outputOf(std::string("nm -C '") + TALVEK_BINARY + "'");
    ASSERT_NE(symbols.find("talvek_run"), std::string::npos); // the engine's call, undefined here
    for (const char *internal : {"runEngine", "valuePiece", "valueActiveMember", "parseMemberLine",
                                 "buildMortalityTables", "GenerateLiabilities", "CountInputData"})
        EXPECT_EQ(symbols.find(internal), std::string::npos) << internal;
}

// The results do not depend on the number of jobs: jobs 1, 2, 3 and 7 give
// the same bytes, on the example and on a generated 100,000-member file.
TEST(TalvekCommand, EveryNumberOfJobsGivesTheSameBytes) {
    const fs::path work = freshDirectory("jobs");
    ASSERT_EQ(runTalvek("generate --members 100000 --seed 11 --out members.txt", work).status, 0);
    for (const fs::path &members : {sourcePath("examples/members.txt"), work / "members.txt"}) {
        std::vector<uint64_t> hashes;
        for (const char *jobs : {"1", "2", "3", "7"}) {
            const fs::path out = work / (std::string("jobs") + jobs);
            const CommandResult result = runTalvek("run --jobs " + std::string(jobs) + " --out " + out.string() +
                                                       " --basis " + sourcePath("examples/basis.toml").string() +
                                                       " --members " + members.string(),
                                                   work);
            ASSERT_EQ(result.status, 0) << result.err;
            hashes.push_back(hashOfRun(out));
        }
        for (uint64_t hash : hashes) EXPECT_EQ(hash, hashes[0]) << members;
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
