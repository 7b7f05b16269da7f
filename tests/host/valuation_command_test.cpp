// End-to-end: the valuation's files of `talvek run` on the example plan and
// generated portfolios: statuses and members add up to the totals, the
// present values are the flows discounted from mid-year on the curve asked
// for, the totals do not depend on --per-member or the number of jobs, the
// sensitivities move the right way, and a full disk leaves no half results.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "result_files.h"
#include "valuation_files.h"

namespace fs = std::filesystem;

namespace {

const char *const kStatusGroups[] = {"in_service", "pensioners", "disabled", "deferred", "spouses"};

// A CSV file with a header row: the cells by column name.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    int column(const std::string &name) const {
        const auto at = std::find(header.begin(), header.end(), name);
        return at == header.end() ? -1 : static_cast<int>(at - header.begin());
    }
    // the number in a row's cell; an empty or missing cell reads as NaN
    double value(size_t row, const std::string &name) const {
        const int c = column(name);
        if (c < 0 || size_t(c) >= rows[row].size() || rows[row][c].empty()) return std::nan("");
        return std::strtod(rows[row][c].c_str(), nullptr);
    }
};

Table tableOf(const fs::path &file) {
    auto rows = readCsv(file);
    Table table;
    if (rows.empty()) return table;
    table.header = rows[0];
    table.rows.assign(rows.begin() + 1, rows.end());
    return table;
}

// |a - b| within tolerance relative to the larger of the two
bool closeRelative(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

// The row of a group in present_values.csv.
size_t groupRow(const Table &table, const std::string &group) {
    for (size_t r = 0; r < table.rows.size(); ++r)
        if (table.rows[r][0] == group) return r;
    ADD_FAILURE() << "no row for " << group;
    return 0;
}

CommandResult runExample(const fs::path &out, const std::string &options,
                         const fs::path &members = sourcePath("examples/members.txt"),
                         const fs::path &basis = sourcePath("examples/basis.toml")) {
    return runTalvek("run " + options + " --basis " + basis.string() + " --members " + members.string() +
                     " --out " + out.string());
}

// The example basis with tables added at its end; its own [sensitivities]
// (the lines up to the next blank one) left out when tables give another.
fs::path exampleBasisWith(const fs::path &directory, const std::string &tables) {
    std::string text = readText(sourcePath("examples/basis.toml"));
    const size_t own = text.find("\n[sensitivities]\n");
    if (tables.find("[sensitivities]") != std::string::npos && own != std::string::npos)
        text.erase(own + 1, text.find("\n\n", own + 1) - own);
    const fs::path file = directory / "basis.toml";
    writeText(file, text + "\n" + tables + "\n");
    return file;
}

const char *const kTodaysFiles[] = {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile};
const char *const kByStatusFiles[] = {kMemberCountsByStatusFile, kDecrementCountsByStatusFile,
                                      kCashflowsByStatusFile};

} // namespace

TEST(ValuationCommand, StatusesAndMembersAddUpToTheTotals) {
    const fs::path out = freshDirectory("valuation-sums") / "results";
    const CommandResult result = runExample(out, "--jobs 2 --per-member");
    ASSERT_EQ(result.status, 0) << result.err;

    // each by-status file: today's columns after status and year, and the
    // five statuses adding up to today's totals, year by year
    for (int f = 0; f < 3; ++f) {
        const Table totals = tableOf(out / kTodaysFiles[f]);
        const Table byStatus = tableOf(out / kByStatusFiles[f]);
        ASSERT_EQ(byStatus.header.size(), totals.header.size() + 1) << kByStatusFiles[f];
        EXPECT_EQ(byStatus.header[0], "status");
        EXPECT_TRUE(std::equal(totals.header.begin(), totals.header.end(), byStatus.header.begin() + 1));
        ASSERT_EQ(byStatus.rows.size(), 5u * 111u);
        for (int s = 0; s < 5; ++s) EXPECT_EQ(byStatus.rows[s * 111][0], kStatusGroups[s]);
        for (size_t c = 1; c < totals.header.size(); ++c)
            for (int year = 0; year <= 110; ++year) {
                double sum = 0;
                for (int s = 0; s < 5; ++s) sum += byStatus.value(s * 111 + year, totals.header[c]);
                const double total = totals.value(year, totals.header[c]);
                ASSERT_TRUE(closeRelative(sum, total, 1e-12))
                    << kByStatusFiles[f] << " " << totals.header[c] << " year " << year << ": " << sum << " vs " << total;
            }
    }

    // present values: the statuses' rows add up to the total's, durations as
    // averages weighted by their present values
    const Table pv = tableOf(out / kPresentValuesFile);
    ASSERT_EQ(pv.rows.size(), 6u);
    const size_t total = groupRow(pv, "total");
    EXPECT_GT(pv.value(total, "pvfb"), 0.0);
    for (size_t c = 1; c < pv.header.size(); ++c) {
        const std::string &name = pv.header[c];
        const bool duration = name.find("duration") != std::string::npos;
        const std::string weight = name == "pvfb_duration" ? "pvfb"
                                   : name == "dbo_duration" ? "dbo"
                                                            : "pv_contributions";
        double sum = 0, weights = 0;
        for (const char *group : kStatusGroups) {
            const size_t r = groupRow(pv, group);
            sum += duration ? pv.value(r, name) * pv.value(r, weight) : pv.value(r, name);
            weights += pv.value(r, weight);
        }
        const double expected = duration ? (weights != 0 ? sum / weights : 0.0) : sum;
        EXPECT_TRUE(closeRelative(expected, pv.value(total, name), duration ? 1e-9 : 1e-12))
            << name << ": " << expected << " vs " << pv.value(total, name);
    }

    // per member: every member valued, in file order, adding up to its
    // status and to the total; DBO at most PVFB in service, equal outside
    const Table members = tableOf(out / kPerMemberFile);
    EXPECT_EQ(members.header, (std::vector<std::string>{"line", "member_number", "status", "sex", "age", "pvfb",
                                                        "pv_contributions", "dbo", "service_cost", "duration"}));
    ASSERT_EQ(members.rows.size(), 3000u);
    std::map<std::string, std::map<std::string, double>> sums;
    const char *figures[] = {"pvfb", "pv_contributions", "dbo", "service_cost"};
    for (size_t r = 0; r < members.rows.size(); ++r) {
        EXPECT_EQ(members.value(r, "line"), double(r + 1)); // the example has no rejected line
        const std::string &status = members.rows[r][2];
        for (const char *figure : figures) {
            sums[status][figure] += members.value(r, figure);
            sums["total"][figure] += members.value(r, figure);
        }
        const double pvfb = members.value(r, "pvfb"), dbo = members.value(r, "dbo");
        if (status == "in_service") {
            EXPECT_GE(dbo, 0.0) << r;
            EXPECT_LE(dbo, pvfb * (1 + 1e-12)) << "line " << r + 1;
            EXPECT_GE(members.value(r, "service_cost"), 0.0) << r;
        } else {
            EXPECT_EQ(dbo, pvfb) << "line " << r + 1;
            EXPECT_EQ(members.value(r, "service_cost"), 0.0) << "line " << r + 1;
        }
    }
    for (const auto &[group, byFigure] : sums)
        for (const auto &[figure, sum] : byFigure)
            EXPECT_TRUE(closeRelative(sum, pv.value(groupRow(pv, group), figure), 1e-9))
                << group << " " << figure << ": " << sum << " vs " << pv.value(groupRow(pv, group), figure);
}

TEST(ValuationCommand, PresentValuesAreTheFlowsDiscountedFromMidYearOnTheBasisRates) {
    const fs::path out = freshDirectory("valuation-pv") / "results";
    const CommandResult result = runExample(out, "--jobs 2");
    ASSERT_EQ(result.status, 0) << result.err;
    // v(t) = v(t - 1) / (1 + i), i = 0.035 in years 1 to 10, 0.03 after;
    // v(t - 0.5) = v(t - 1) sqrt(v(t) / v(t - 1))
    const Table factors = tableOf(out / kDiscountFactorsFile);
    ASSERT_EQ(factors.rows.size(), 111u);
    EXPECT_EQ(factors.value(0, "discount_factor"), 1.0);
    std::vector<double> mid(111, 0.0);
    double v = 1.0;
    for (int t = 1; t <= 110; ++t) {
        const double before = v;
        v = v / (1.0 + (t <= 10 ? 0.035 : 0.03));
        EXPECT_TRUE(closeRelative(factors.value(t, "discount_factor"), v, 1e-14)) << t;
        EXPECT_TRUE(closeRelative(factors.value(t, "mid_year_discount_factor"), before * std::sqrt(v / before), 1e-14))
            << t;
        mid[t] = factors.value(t, "mid_year_discount_factor");
    }
    // each cash-flow column of the total and of every status, discounted by
    // hand from the flows of the files
    const Table pv = tableOf(out / kPresentValuesFile);
    const Table flows = tableOf(out / kCashflowsFile);
    const Table flowsByStatus = tableOf(out / kCashflowsByStatusFile);
    for (int group = 0; group <= 5; ++group) {
        const size_t row = groupRow(pv, group == 0 ? "total" : kStatusGroups[group - 1]);
        double benefits = 0, contributions = 0, timeWeighted = 0;
        for (int block = 1; block <= kCashflowBlocks; ++block) {
            double sum = 0, weighted = 0;
            for (int t = 1; t <= 110; ++t) {
                const double flow = group == 0 ? flows.value(t, kCashflowColumns[block])
                                               : flowsByStatus.value((group - 1) * 111 + t, kCashflowColumns[block]);
                sum += flow * mid[t];
                weighted += (t - 0.5) * flow * mid[t];
            }
            // year by year in year order, as the run adds them: to the bit
            const double written = pv.value(row, std::string("pv_") + kCashflowColumns[block]);
            EXPECT_EQ(sum, written) << group << " " << kCashflowColumns[block];
            (block <= 2 ? contributions : benefits) += sum;
            if (block > 2) timeWeighted += weighted;
        }
        // the blocks' present values added in block order
        EXPECT_EQ(benefits, pv.value(row, "pvfb")) << group;
        EXPECT_EQ(contributions, pv.value(row, "pv_contributions")) << group;
        EXPECT_TRUE(closeRelative(timeWeighted / benefits, pv.value(row, "pvfb_duration"), 1e-10)) << group;
        EXPECT_LE(pv.value(row, "dbo"), pv.value(row, "pvfb") * (1 + 1e-12)) << group;
    }
    // in the summary: every status and the total, the curve named
    EXPECT_NE(result.out.find("Present values at the valuation date"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("0.035 in years 1 to 10 and 0.03 in years 11 to 110"), std::string::npos);
    for (const char *group : {"in_service", "pensioners", "disabled", "deferred", "spouses", "total"})
        EXPECT_NE(result.out.find("\n  " + std::string(group) + " "), std::string::npos) << group;
}

TEST(ValuationCommand, ACurveOfTheBasisFileGivesItsOwnFactorsAndAZeroCurveThePlainSums) {
    const fs::path work = freshDirectory("valuation-curve");
    // spot rates: v(t) = (1 + s(t))^-t, the last rate carried on
    const CommandResult spot =
        runExample(work / "spot", "--jobs 2", sourcePath("examples/members.txt"),
                   exampleBasisWith(work, "[discount]\nspot_rates = [0.01, 0.02, 0.025]"));
    ASSERT_EQ(spot.status, 0) << spot.err;
    const Table spotFactors = tableOf(work / "spot" / kDiscountFactorsFile);
    ASSERT_EQ(spotFactors.rows.size(), 111u);
    for (int t = 1; t <= 110; ++t) {
        const double rate = t == 1 ? 0.01 : t == 2 ? 0.02 : 0.025;
        EXPECT_TRUE(closeRelative(spotFactors.value(t, "discount_factor"), std::pow(1.0 + rate, -t), 1e-13)) << t;
    }
    const std::string record = readText(work / "spot" / "run.json");
    EXPECT_NE(record.find("\"discount_curve\": {\"form\": \"spot_rates\", \"rates_given\": 3, \"carried_on_to\": 110"),
              std::string::npos)
        << record;
    EXPECT_NE(spot.out.find("spot rates by term from [discount], 3 terms given, the last (0.025) carried on to term 110"),
              std::string::npos)
        << spot.out;

    // forward rates of 0: every factor 1, every present value the plain sum of its flows
    const CommandResult zero = runExample(work / "zero", "--jobs 2", sourcePath("examples/members.txt"),
                                          exampleBasisWith(work, "[discount]\nforward_rates = [0]"));
    ASSERT_EQ(zero.status, 0) << zero.err;
    const Table zeroFactors = tableOf(work / "zero" / kDiscountFactorsFile);
    ASSERT_EQ(zeroFactors.rows.size(), 111u);
    for (int t = 1; t <= 110; ++t) {
        EXPECT_EQ(zeroFactors.value(t, "discount_factor"), 1.0) << t;
        EXPECT_EQ(zeroFactors.value(t, "mid_year_discount_factor"), 1.0) << t;
    }
    const Table pv = tableOf(work / "zero" / kPresentValuesFile);
    const Table flows = tableOf(work / "zero" / kCashflowsFile);
    const size_t total = groupRow(pv, "total");
    for (int block = 1; block <= kCashflowBlocks; ++block) {
        double sum = 0;
        for (int t = 1; t <= 110; ++t) sum += flows.value(t, kCashflowColumns[block]);
        EXPECT_TRUE(sum == pv.value(total, std::string("pv_") + kCashflowColumns[block]) ||
                    closeRelative(sum, pv.value(total, std::string("pv_") + kCashflowColumns[block]), 1e-12))
            << kCashflowColumns[block];
    }
}

TEST(ValuationCommand, TotalsAreTheSameBytesWithAndWithoutPerMemberAndForAnyNumberOfJobs) {
    const fs::path work = freshDirectory("valuation-bytes");
    // several pieces of the member file (about 450 KB: seven): a generated portfolio of every status
    ASSERT_EQ(runTalvek("generate --members 10000 --seed 17 --out members.txt", work).status, 0);
    const fs::path members = work / "members.txt";
    const struct {
        const char *name;
        const char *options;
    } runs[] = {{"plain1", "--jobs 1"},
                {"member1", "--jobs 1 --per-member"},
                {"member2", "--jobs 2 --per-member"},
                {"plain2", "--jobs 2"},
                {"projection", "--jobs 2 --no-present-values"}};
    for (const auto &run : runs) {
        const CommandResult result = runExample(work / run.name, run.options, members);
        ASSERT_EQ(result.status, 0) << run.name << ": " << result.err;
    }
    std::vector<std::string> valuationFiles(std::begin(kByStatusFiles), std::end(kByStatusFiles));
    valuationFiles.push_back(kPresentValuesFile);
    valuationFiles.push_back(kDiscountFactorsFile);
    for (const char *file : kTodaysFiles) {
        const std::string expected = readText(work / "plain1" / file);
        ASSERT_FALSE(expected.empty());
        for (const auto &run : runs) EXPECT_EQ(readText(work / run.name / file), expected) << run.name << " " << file;
    }
    for (const std::string &file : valuationFiles) {
        const std::string expected = readText(work / "plain1" / file);
        ASSERT_FALSE(expected.empty());
        for (const char *name : {"member1", "member2", "plain2"})
            EXPECT_EQ(readText(work / name / file), expected) << name << " " << file;
        EXPECT_FALSE(fs::exists(work / "projection" / file)) << file;
    }
    EXPECT_EQ(readText(work / "member1" / kPerMemberFile), readText(work / "member2" / kPerMemberFile));
    EXPECT_EQ(readCsv(work / "member1" / kPerMemberFile).size(), 10001u);
    EXPECT_FALSE(fs::exists(work / "plain1" / kPerMemberFile));
    // a plain projection records no valuation
    EXPECT_NE(readText(work / "projection" / "run.json").find("\"valuation\": null"), std::string::npos);
}

TEST(ValuationCommand, SensitivitiesMoveTheRightWayAndTheDurationAgreesWithTheDiscountSensitivity) {
    const fs::path out = freshDirectory("valuation-sensitivities") / "results";
    const CommandResult result = runExample(out, "--jobs 2 --sensitivities");
    ASSERT_EQ(result.status, 0) << result.err;
    const Table table = tableOf(out / kSensitivitiesFile);
    // the base and the eight of the default set, six groups each
    ASSERT_EQ(table.rows.size(), 9u * 6u);
    auto rowOf = [&](const std::string &sensitivity, double size, const std::string &group) {
        for (size_t r = 0; r < table.rows.size(); ++r)
            if (table.rows[r][0] == sensitivity && table.value(r, "size") == size && table.rows[r][2] == group)
                return r;
        ADD_FAILURE() << sensitivity << " " << size << " " << group;
        return size_t(0);
    };
    for (const char *group : {"total", "in_service", "pensioners", "disabled", "deferred", "spouses"}) {
        const size_t base = rowOf("base", 0, group);
        const size_t up = rowOf("discount_rate", 0.005, group);
        const size_t down = rowOf("discount_rate", -0.005, group);
        const double pvfb = table.value(base, "pvfb");
        if (pvfb <= 0) continue;
        // a higher discount rate lowers every present value, a lower one raises it
        EXPECT_LT(table.value(up, "pvfb"), pvfb) << group;
        EXPECT_GT(table.value(down, "pvfb"), pvfb) << group;
        EXPECT_LE(table.value(up, "dbo"), table.value(base, "dbo")) << group;
        EXPECT_LT(table.value(up, "pvfb_change_pct"), 0.0) << group;
        EXPECT_TRUE(closeRelative(table.value(up, "pvfb_change_pct"),
                                  100.0 * (table.value(up, "pvfb") / pvfb - 1.0), 1e-12))
            << group;
        // -dPV / (PV di) from the two sides against the modified duration
        // D / (1 + i), i about the curve's rates (3 % to 3.5 %)
        const double slope = (table.value(down, "pvfb") - table.value(up, "pvfb")) / (2 * 0.005 * pvfb);
        const double modified = table.value(base, "duration") / 1.0325;
        EXPECT_NEAR(slope / modified, 1.0, 0.05) << group << ": " << slope << " vs " << modified;
    }
    // lighter mortality raises the pensioners' present value, heavier lowers it
    const size_t pensioners = rowOf("base", 0, "pensioners");
    EXPECT_GT(table.value(rowOf("mortality", 0.9, "pensioners"), "pvfb"), table.value(pensioners, "pvfb"));
    EXPECT_LT(table.value(rowOf("mortality", 1.1, "pensioners"), "pvfb"), table.value(pensioners, "pvfb"));
    // higher inflation raises the indexed pensions of pensioners
    EXPECT_GT(table.value(rowOf("inflation", 0.005, "pensioners"), "pvfb"), table.value(pensioners, "pvfb"));
    // higher salary growth raises the benefits of the members in service
    const size_t active = rowOf("base", 0, "in_service");
    EXPECT_GT(table.value(rowOf("salary_growth", 0.005, "in_service"), "pvfb"), table.value(active, "pvfb"));
    EXPECT_LT(table.value(rowOf("salary_growth", -0.005, "in_service"), "pvfb"), table.value(active, "pvfb"));
    EXPECT_NE(result.out.find("Sensitivities, every member"), std::string::npos) << result.out;
    EXPECT_NE(readText(out / "run.json").find("{\"kind\": \"mortality\", \"size\": 1.1}"), std::string::npos);
}

TEST(ValuationCommand, TheBasissSetOfSensitivitiesIsTheOneValued) {
    const fs::path work = freshDirectory("valuation-set");
    const fs::path basis = exampleBasisWith(work, "[sensitivities]\nmortality = [0.8]\ndiscount_rate = [0.01]");
    const CommandResult result = runExample(work / "out", "--jobs 2 --sensitivities",
                                            sourcePath("examples/members.txt"), basis);
    ASSERT_EQ(result.status, 0) << result.err;
    const Table table = tableOf(work / "out" / kSensitivitiesFile);
    ASSERT_EQ(table.rows.size(), 3u * 6u);
    EXPECT_EQ(table.rows[0][0], "base");
    EXPECT_EQ(table.rows[6][0], "discount_rate");
    EXPECT_EQ(table.value(6, "size"), 0.01);
    EXPECT_EQ(table.rows[12][0], "mortality");
    EXPECT_EQ(table.value(12, "size"), 0.8);
    // without --sensitivities nothing of them is written
    ASSERT_EQ(runExample(work / "none", "--jobs 2", sourcePath("examples/members.txt"), basis).status, 0);
    EXPECT_FALSE(fs::exists(work / "none" / kSensitivitiesFile));
    EXPECT_NE(readText(work / "none" / "run.json").find("\"sensitivities\": null"), std::string::npos);
}

TEST(ValuationCommand, TheRunRecordListsEveryFileOfTheFolder) {
    const fs::path out = freshDirectory("valuation-record") / "results";
    const CommandResult result = runExample(out, "--jobs 2 --per-member --sensitivities");
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string record = readText(out / "run.json");
    EXPECT_NE(record.find("\"valuation\": {\"discount_curve\": {\"form\": \"basis_rates\", \"description\": "
                          "\"the basis's discount rates, 0.035 in years 1 to 10 and 0.03 in years 11 to 110\"}, "
                          "\"per_member\": true, \"sensitivities\": [{\"kind\": \"discount_rate\", \"size\": -0.005}"),
              std::string::npos)
        << record;
    size_t files = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(out)) {
        ++files;
        EXPECT_NE(record.find("\"" + entry.path().filename().string() + "\""), std::string::npos) << entry.path();
    }
    EXPECT_EQ(files, 15u);
    for (const char *name : {kPresentValuesFile, kPerMemberFile, kSensitivitiesFile, kCashflowsByStatusFile})
        EXPECT_NE(result.out.find(name), std::string::npos) << name;
}

// A disk too small for the valuation's files: the run fails with exit 1 and
// the reason, the earlier results stay as they were and no temporary folder
// is left. Needs a small tmpfs, which only root can mount.
TEST(ValuationCommand, AFullDiskLeavesTheEarlierResultsWhole) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
    const fs::path work = freshDirectory("valuation-full");
    // the sizes of a plain run's files and of a run with every valuation file
    ASSERT_EQ(runExample(work / "plain", "--jobs 2 --no-present-values").status, 0);
    ASSERT_EQ(runExample(work / "full", "--jobs 2 --per-member --sensitivities").status, 0);
    auto bytesOf = [](const fs::path &folder) {
        uintmax_t bytes = 0;
        // tmpfs keeps whole pages
        for (const fs::directory_entry &entry : fs::directory_iterator(folder))
            bytes += (entry.file_size() + 4095) / 4096 * 4096;
        return bytes;
    };
    const uintmax_t plain = bytesOf(work / "plain"), full = bytesOf(work / "full");
    ASSERT_GT(full, plain + 64 * 1024);
    // room for the earlier results and the new plain files, not for the rest
    const uintmax_t size = plain + plain + (full - plain) / 2;
    const fs::path disk = work / "disk";
    fs::create_directories(disk);
    const std::string options = "size=" + std::to_string(size);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, options.c_str()) != 0)
        GTEST_SKIP() << "this machine does not allow mounting a tmpfs";
    struct Unmount {
        fs::path point;
        ~Unmount() { umount(point.c_str()); }
    } unmount{disk};
    const fs::path out = disk / "out";
    ASSERT_EQ(runExample(out, "--jobs 2 --no-present-values").status, 0);
    std::map<std::string, std::string> before;
    for (const fs::directory_entry &entry : fs::directory_iterator(out))
        before[entry.path().filename().string()] = readText(entry.path());

    const CommandResult result = runExample(out, "--jobs 2 --per-member --sensitivities");
    EXPECT_EQ(result.status, 1) << result.out;
    EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("the results in " + out.string() + " are untouched"), std::string::npos) << result.err;
    std::map<std::string, std::string> after;
    for (const fs::directory_entry &entry : fs::directory_iterator(out))
        after[entry.path().filename().string()] = readText(entry.path());
    EXPECT_TRUE(after == before) << "the earlier results changed";
    for (const fs::directory_entry &entry : fs::directory_iterator(disk))
        EXPECT_EQ(entry.path().filename().string().find(".talvek-"), std::string::npos) << entry.path();
}

// Ctrl-C late in a run with sensitivities, when the base run is most likely
// done: the files say which part the stop cut short. Stopped during the
// sensitivities, the base covers every line and the record and
// sensitivities.csv hold exactly those valued; stopped in the base run, the
// files are marked as any stopped run's. Exit 130 and "complete": false.
TEST(ValuationCommand, AStopDuringTheSensitivitiesKeepsTheBaseWholeAndSaysHowManyWereValued) {
    const fs::path work = freshDirectory("valuation-stop");
    ASSERT_EQ(runTalvek("generate --members 12000 --seed 9 --out members.txt", work).status, 0);
    const std::string command = std::string(TALVEK_BINARY) + " run --jobs 2 --sensitivities --basis " +
                                sourcePath("examples/basis.toml").string() + " --members " +
                                (work / "members.txt").string();
    // a whole run first, for its time
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(std::system((command + " --out " + (work / "whole").string() + " >/dev/null 2>&1").c_str()), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // the base run is about a sixth of the whole: stop at three quarters
    const std::string stopped = "( " + command + " --out " + (work / "out").string() +
                                " >/dev/null 2>&1 & pid=$!; sleep " + std::to_string(0.75 * seconds) +
                                "; kill -INT $pid; wait $pid; exit $? )";
    const int status = std::system(("bash -c '" + stopped + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) GTEST_SKIP() << "the run ended before the stop";
    ASSERT_EQ(WEXITSTATUS(status), 130);
    const fs::path out = work / "out";
    const std::string record = readText(out / "run.json");
    EXPECT_NE(record.find("\"complete\": false"), std::string::npos) << record;
    const std::string firstLine = readText(out / kSensitivitiesFile).substr(0, 200);
    const size_t valuedAt = firstLine.find("but only ");
    if (valuedAt == std::string::npos) {
        // stopped in the base run
        EXPECT_EQ(firstLine.rfind("# STOPPED by Ctrl-C: these results cover only the first ", 0), 0u) << firstLine;
        return;
    }
    EXPECT_EQ(firstLine.rfind("# STOPPED by Ctrl-C during the sensitivities: these results cover every line of "
                              "the member file, but only ",
                              0),
              0u)
        << firstLine;
    const int valued = std::atoi(firstLine.c_str() + valuedAt + 9);
    EXPECT_LT(valued, 8);
    EXPECT_NE(firstLine.find(" of the 8 sensitivities were valued; see run.json"), std::string::npos) << firstLine;
    // the base run's files are those of the whole run, after the mark
    for (const char *file : {kCashflowsFile, kPresentValuesFile, kCashflowsByStatusFile}) {
        const std::string text = readText(out / file);
        EXPECT_EQ(text.substr(text.find('\n') + 1), readText(work / "whole" / file)) << file;
    }
    // the mark, the header, the base and each sensitivity valued, six groups each
    EXPECT_EQ(readCsv(out / kSensitivitiesFile).size(), 2u + 6u * (1 + valued));
    size_t listed = 0;
    for (size_t at = record.find("{\"kind\": "); at != std::string::npos; at = record.find("{\"kind\": ", at + 1))
        ++listed;
    EXPECT_EQ(listed, size_t(valued));
}

// A curve the basis reader admits (every rate above -1) whose factors the
// engine cannot use (-99.9 % a year from year 2 on overflows): refused with
// the engine's reason and exit 2, nothing written.
TEST(ValuationCommand, ACurveTheEngineRefusesWritesNothingAndExitsWith2) {
    const fs::path work = freshDirectory("valuation-refused");
    const CommandResult result = runExample(work / "out", "--jobs 2", sourcePath("examples/members.txt"),
                                            exampleBasisWith(work, "[discount]\nforward_rates = [0.03, -0.999]"));
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("talvek: the valuation was refused: the discount curve of year "), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("are untouched"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(work / "out"));
    for (const fs::directory_entry &entry : fs::directory_iterator(work))
        EXPECT_EQ(entry.path().filename().string().find(".talvek-"), std::string::npos) << entry.path();
}

// The valuation's options in the run's help, and a projection alone that is
// also asked for present values refused before anything is run.
TEST(ValuationCommand, OptionsAreExplainedAndContradictionsRefused) {
    const CommandResult help = runTalvek("run --help");
    EXPECT_EQ(help.status, 0);
    for (const char *text : {"--per-member", "--sensitivities", "--no-present-values", "present_values.csv"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    const fs::path work = freshDirectory("valuation-options");
    for (const char *both : {"--no-present-values --per-member", "--no-present-values --sensitivities"}) {
        const CommandResult result = runExample(work / "out", both);
        EXPECT_EQ(result.status, 2) << both;
        EXPECT_NE(result.err.find("excludes"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(work / "out")) << both;
    }
}
