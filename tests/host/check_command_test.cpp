// End to end: talvek check, and the check as the first step of talvek run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check_report.h"
#include "data_summary.h"
#include "host_test_support.h"
#include "result_files.h"

namespace fs = std::filesystem;

namespace {

const char *const kRunFiles[] = {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile, kListingFile, kErrorLogFile};

std::string exampleBasis() { return sourcePath("examples/basis.toml").string(); }

// Every file a run writes, with its name.
std::string resultsOf(const fs::path &out, bool withDataFiles) {
    std::string all;
    for (const char *file : kRunFiles) all += std::string(file) + "\n" + readText(out / file);
    if (withDataFiles) all += readText(out / kDataSummaryFile) + readText(out / kDataCheckFile);
    return all;
}

// The generated lines with `count` of them misread (a letter O in the age).
std::string filesWithErrors(int count) {
    std::string text;
    for (int i = 1; i <= count + 5; ++i) {
        const std::string age = i <= count ? "4O" : "41";
        text += "M" + std::to_string(i) + ",A," + age + ",F,54545.96,,374.23,,M,47,,,,,\n";
    }
    return text;
}

// The lines as a spreadsheet saves them: a byte-order mark, a header row,
// no delimiter after the last field, member numbers in quotes, CRLF.
std::string asSpreadsheet(const std::string &lines) {
    std::string sheet = "\xEF\xBB\xBFnumber,status,age,sex,salary,w1,w2,pension,marital,spouse,retired,bridge,part,average\r\n";
    size_t start = 0;
    while (start < lines.size()) {
        const size_t end = lines.find('\n', start);
        const std::string line = lines.substr(start, end - start - 1); // without the last comma
        const size_t comma = line.find(',');
        sheet += "\"" + line.substr(0, comma) + "\"" + line.substr(comma) + "\r\n";
        start = end + 1;
    }
    return sheet;
}

std::string spreadsheetBasis() {
    return exampleBasisWithMemberFile(exampleMemberFile("comma", "layout = \"spreadsheet\"\nheader = true"));
}

} // namespace

TEST(CheckCommand, ACleanFileExitsZeroWithTheDataSummary) {
    const CommandResult result =
        runTalvek("check --basis " + exampleBasis() + " --members " + sourcePath("examples/members.txt").string());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("0 errors, 0 warnings"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("lines read             3000"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("in service            A     1180"), std::string::npos) << result.out;
}

TEST(CheckCommand, ErrorsAreListedUpToALimitAndWrittenWhole) {
    const fs::path work = freshDirectory("check-errors");
    writeText(work / "members.txt", filesWithErrors(80));
    const CommandResult result = runTalvek("check --basis " + exampleBasis() + " --members members.txt --out data", work);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.out.find("members.txt:1: column 3 (age) \"4O\": the letter O in a number; the valuation would read 71"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("... and 30 more errors"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("80 errors"), std::string::npos) << result.out;
    const auto rows = readCsv(work / "data" / kDataCheckFile);
    ASSERT_GE(rows.size(), 81u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"line", "column", "member", "field", "rule", "kind", "value", "detail"}));
    int errors = 0;
    for (const auto &row : rows) errors += row.size() > 5 && row[5] == "error" ? 1 : 0;
    EXPECT_EQ(errors, 80);
    // each misread age of 71 is also past the retirement tables: a warning on its line
    EXPECT_EQ(rows.size(), 161u);
    EXPECT_EQ(rows[159][0], "80");
    const std::string summary = readText(work / "data" / kDataSummaryFile);
    EXPECT_NE(summary.find("in_service,A,85,0,85,"), std::string::npos) << summary;
    EXPECT_NE(summary.find("with_errors,80"), std::string::npos) << summary;
}

TEST(CheckCommand, ARunWithErrorsValuesNothingAndWritesNothing) {
    const fs::path work = freshDirectory("run-errors");
    writeText(work / "members.txt", filesWithErrors(3));
    const CommandResult result = runTalvek("run --basis " + exampleBasis() + " --members members.txt --out out", work);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("members.txt:3: column 3 (age) \"4O\""), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("3 errors in 3 lines; nothing was run"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_FALSE(fs::exists(work / "out"));
}

TEST(CheckCommand, AcceptAsReadValuesTheLinesAsTheLibraryReadsThem) {
    const fs::path work = freshDirectory("accept");
    writeText(work / "members.txt", filesWithErrors(3));
    const std::string common = " --jobs 1 --basis " + exampleBasis() + " --members members.txt";
    const CommandResult accepted = runTalvek("run --accept-as-read --out accepted" + common, work);
    ASSERT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_NE(accepted.err.find("valued as the library reads them (--accept-as-read)"), std::string::npos) << accepted.err;
    ASSERT_EQ(runTalvek("run --no-check --out plain" + common, work).status, 0);
    EXPECT_EQ(resultsOf(work / "accepted", false), resultsOf(work / "plain", false));
    // the accepted errors are written down (each with a warning of an age past the tables)
    const auto rows = readCsv(work / "accepted" / kDataCheckFile);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[1][4], "letter");
    EXPECT_EQ(rows[1][5], "error");
    // an error that no reading of the library can stand for is refused even so
    writeText(work / "sheet.toml", spreadsheetBasis());
    writeText(work / "open.csv", "number\r\n\"M1,A,40,M\r\n");
    const CommandResult open = runTalvek("run --accept-as-read --basis sheet.toml --members open.csv --out open", work);
    EXPECT_EQ(open.status, 2);
    EXPECT_NE(open.err.find("a quote left open"), std::string::npos) << open.err;
    EXPECT_FALSE(fs::exists(work / "open"));
}

TEST(CheckCommand, NoCheckIsOnlyForTheLibrarysLayout) {
    const fs::path work = freshDirectory("no-check");
    writeText(work / "sheet.toml", spreadsheetBasis());
    writeText(work / "members.csv", asSpreadsheet(readText(sourcePath("examples/members.txt"))));
    const CommandResult result = runTalvek("run --no-check --basis sheet.toml --members members.csv --out out", work);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("needs the check's conversion"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(work / "out"));
}

// A file already in the library's layout values the same with the check as
// without it, and a generated 100,000-member file saved as a spreadsheet
// saves it values exactly as the original, for one job and for two.
TEST(CheckCommand, SpreadsheetAndLibraryFilesValueToTheSameBytesForAnyNumberOfJobs) {
    const fs::path work = freshDirectory("sheet-100000");
    ASSERT_EQ(runTalvek("generate --members 100000 --seed 7 --out members.txt", work).status, 0);
    writeText(work / "members.csv", asSpreadsheet(readText(work / "members.txt")));
    writeText(work / "sheet.toml", spreadsheetBasis());
    const std::string library = " --basis " + exampleBasis() + " --members members.txt";
    const std::string sheet = " --basis sheet.toml --members members.csv";
    ASSERT_EQ(runTalvek("run --no-check --jobs 1 --out plain" + library, work).status, 0);
    const std::string expected = resultsOf(work / "plain", false);
    for (const char *jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        const std::string j = std::string(" --jobs ") + jobs;
        const CommandResult checked = runTalvek("run" + j + " --out checked" + jobs + library, work);
        ASSERT_EQ(checked.status, 0) << checked.err;
        EXPECT_TRUE(resultsOf(work / ("checked" + std::string(jobs)), false) == expected);
        const CommandResult converted = runTalvek("run" + j + " --out sheet" + jobs + sheet, work);
        ASSERT_EQ(converted.status, 0) << converted.err;
        EXPECT_NE(converted.out.find("skipped                   1   (header 1, blank 0)"), std::string::npos)
            << converted.out;
        EXPECT_TRUE(resultsOf(work / ("sheet" + std::string(jobs)), false) == expected);
    }
    EXPECT_TRUE(resultsOf(work / "sheet1", true) == resultsOf(work / "sheet2", true));
    EXPECT_TRUE(resultsOf(work / "checked1", true) == resultsOf(work / "checked2", true));
    // the members by status are the same figures
    const std::string original = readText(work / "checked1" / kDataSummaryFile);
    const std::string saved = readText(work / "sheet1" / kDataSummaryFile);
    EXPECT_EQ(original.substr(0, original.find("\n\n")), saved.substr(0, saved.find("\n\n")));
}

TEST(CheckCommand, WarningsDoNotStopTheRunAndAreCountedInTheSummary) {
    const fs::path work = freshDirectory("warnings");
    writeText(work / "members.txt", "M1,A,20,M,30000,5000,,,S,,,,,,\nM1,S,70,F,,,,5000,M,5,,,,,\n");
    const CommandResult result = runTalvek("run --basis " + exampleBasis() + " --members members.txt --out out", work);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("warnings                  3"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("duplicate_member_number"), std::string::npos) << result.out;
    const auto rows = readCsv(work / "out" / kDataCheckFile);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][4], "service_longer_than_age");
    EXPECT_EQ(rows[3][4], "duplicate_member_number");
    EXPECT_EQ(rows[3][0], "2");
}

TEST(CheckCommand, HelpExplainsTheCheckAndTheRunsChoices) {
    const CommandResult check = runTalvek("check --help");
    EXPECT_EQ(check.status, 0);
    EXPECT_NE(check.out.find("Example:\n  talvek check"), std::string::npos) << check.out;
    const CommandResult run = runTalvek("run --help");
    for (const char *text : {"--accept-as-read", "--no-check", "data_summary.csv"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
    EXPECT_NE(runTalvek("--help").out.find("check"), std::string::npos);
    EXPECT_EQ(runTalvek("check --members x.txt").status, 2);
}
