#include "result_files.h"

#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "host_test_support.h"

TEST(ResultFiles, ColumnNamesAreDistinctSnakeCaseAndComplete) {
    std::set<std::string> names;
    auto check = [&names](const char *const *columns, int blocks) {
        for (int block = 1; block <= blocks; ++block) {
            const std::string name = columns[block];
            EXPECT_FALSE(name.empty()) << block;
            EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz_"), std::string::npos) << name;
            EXPECT_TRUE(names.insert(name).second) << name;
        }
    };
    check(kMemberCountColumns, kMemberBlocks);
    check(kDecrementCountColumns, kDecrementBlocks);
    check(kCashflowColumns, kCashflowBlocks);
    EXPECT_EQ(names.size(), 22u + 15u + 18u);
    EXPECT_STREQ(kMemberCountColumns[1], "active_male");
    EXPECT_STREQ(kMemberCountColumns[6], "deferred_female");
    EXPECT_STREQ(kMemberCountColumns[22], "deferred_retirees_in_guarantee_female");
    EXPECT_STREQ(kDecrementCountColumns[1], "deaths_in_service");
    EXPECT_STREQ(kDecrementCountColumns[15], "guarantee_deaths_deferred");
    EXPECT_STREQ(kCashflowColumns[3], "old_age_pension_service_male");
    EXPECT_STREQ(kCashflowColumns[18], "bridge_pension_female");
}

TEST(ResultFiles, TableHasAYearColumnAnd111RowsThatReadBackExactly) {
    const std::filesystem::path directory = freshDirectory("csv");
    std::vector<double> results(kDecrementCountElements);
    // values that need all 17 digits, and one per block and year
    for (size_t i = 0; i < results.size(); ++i) results[i] = (static_cast<double>(i) + 0.1) / 3.0;
    ASSERT_TRUE(writeResultTable(directory / "t.csv", results, kDecrementCountColumns, kDecrementBlocks));
    const auto rows = readCsv(directory / "t.csv");
    ASSERT_EQ(rows.size(), 112u);
    ASSERT_EQ(rows[0].size(), 16u);
    EXPECT_EQ(rows[0][0], "year");
    EXPECT_EQ(rows[0][1], "deaths_in_service");
    for (int year = 0; year <= 110; ++year) {
        const auto &row = rows[year + 1];
        ASSERT_EQ(row.size(), 16u);
        EXPECT_EQ(row[0], std::to_string(year));
        for (int block = 1; block <= kDecrementBlocks; ++block) {
            EXPECT_EQ(std::strtod(row[block].c_str(), nullptr), results[block * 111 + year]);
        }
    }
    EXPECT_FALSE(writeResultTable(directory / "missing" / "t.csv", results, kDecrementCountColumns,
                                  kDecrementBlocks));
}

TEST(ResultFiles, SummaryShowsCountsKeyYearsAndTheStop) {
    HostArraySet arrays;
    arrays.memberCounts[111 + 0] = 3.0;  // active men at the valuation date
    arrays.memberCounts[222 + 0] = 2.0;  // active women
    arrays.memberCounts[777 + 5] = 1.5;  // pensioners past the guarantee, year 5
    arrays.memberCounts[2109 + 5] = 0.25; // inside it
    arrays.benefitCashflows[111 + 1] = 1000.4;
    arrays.benefitCashflows[333 + 40] = 250.0;
    arrays.benefitCashflows[1887 + 40] = 50.0; // bridge pensions count among pensions
    RunFacts facts;
    facts.basisFile = "b.toml";
    facts.memberFile = "m.txt";
    facts.outputDirectory = "/tmp/out";
    facts.memberLines = 10;
    facts.membersRead = 8;
    facts.errorCount = 2;
    facts.unknownStatuses = 1;
    facts.stoppedByUser = true;
    facts.stopSignal = "Ctrl-C";

    const std::filesystem::path file = freshDirectory("summary") / "summary.txt";
    std::FILE *out = std::fopen(file.c_str(), "w");
    writeSummary(out, facts, arrays);
    std::fclose(out);
    const std::string text = readText(file);
    // the stop comes first, before anything that could be taken for a whole run
    EXPECT_EQ(text.rfind("STOPPED: the run was stopped (Ctrl-C)", 0), 0u) << text;
    EXPECT_NE(text.find("members read              8   (valued 7, unknown status 1)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("members rejected          2"), std::string::npos) << text;
    EXPECT_NE(text.find("errors                    3   (see /tmp/out/errors.txt)"), std::string::npos) << text;
    // the table: header and six years, right-aligned under their titles
    EXPECT_NE(text.find("year  in service  disabled  deferred  pensioners  spouses  contributions  "
                        "pensions  lump sums"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("   0         5.0       0.0       0.0         0.0      0.0              0"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("   1         0.0       0.0       0.0         0.0      0.0           1000"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("   5         0.0       0.0       0.0         1.8"), std::string::npos) << text;
    EXPECT_NE(text.find("  40         0.0       0.0       0.0         0.0      0.0              0       300"),
              std::string::npos)
        << text;
}

TEST(ResultFiles, UnknownStatusLinesAreCountedFromTheErrorLog) {
    const std::filesystem::path file = freshDirectory("log") / "errors.txt";
    writeText(file, "Error: Member N8        , member age  14 outside allowable range.\n"
                    "Could not identify status  XYZ    of member N7        \n"
                    "Could not identify status  Q      of member N9        \n");
    EXPECT_EQ(countUnknownStatuses(file), 2);
    EXPECT_EQ(countUnknownStatuses(file.parent_path() / "none.txt"), 0);
}
