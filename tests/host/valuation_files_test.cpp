// The valuation's files from a valuation made up by hand: their headers,
// rows and numbers, the changes in per cent, the quoting of member numbers,
// and the summary's tables.
#include "valuation_files.h"

#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "result_files.h"

namespace fs = std::filesystem;

namespace {

// Numbers that need all 17 digits to read back: every cell is told apart.
double cell(int a, int b) { return (a * 1000.0 + b + 0.1) / 3.0; }

std::unique_ptr<TalvekValuation> madeUpValuation() {
    auto v = std::make_unique<TalvekValuation>();
    *v = TalvekValuation{};
    for (int g = 0; g < kGroups; ++g) {
        for (int i = 0; i < TALVEK_MEMBER_COUNTS_SIZE; ++i) v->by_status[g].member_counts[i] = cell(g, i);
        for (int i = 0; i < TALVEK_DECREMENT_COUNTS_SIZE; ++i) v->by_status[g].decrement_counts[i] = cell(g, i + 3000);
        for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) v->by_status[g].benefit_cashflows[i] = cell(g, i + 6000);
        TalvekPresentValues &pv = v->present_values[g];
        for (int b = 1; b <= kCashflowBlocks; ++b) pv.cashflows[b] = cell(g, 9000 + b);
        pv.benefits = 1000.0 * (g + 1);
        pv.contributions = 100.0 * (g + 1);
        pv.obligation = 800.0 * (g + 1);
        pv.service_cost = g == 1 ? 40.0 : 0.0; // only members in service earn service
        pv.benefits_duration = 12.5;
        pv.contributions_duration = 6.25;
        pv.obligation_duration = 14.0;
    }
    for (int t = 0; t < TALVEK_CURVE_SIZE; ++t) v->discount_factors[t] = cell(7, t);
    for (int t = 1; t < TALVEK_CURVE_SIZE; ++t) v->mid_year_factors[t] = cell(8, t);
    v->sensitivity_count = 2;
    v->sensitivities[0].sensitivity = {TALVEK_SENSITIVITY_DISCOUNT, 0, 0.005};
    v->sensitivities[1].sensitivity = {TALVEK_SENSITIVITY_MORTALITY, 0, 0.9};
    for (int s = 0; s < 2; ++s)
        for (int g = 0; g < kGroups; ++g) {
            TalvekPresentValues &pv = v->sensitivities[s].present_values[g];
            pv = v->present_values[g];
            pv.benefits *= s == 0 ? 0.95 : 1.02; // 5 % down, 2 % up
            pv.obligation *= s == 0 ? 0.9 : 1.0;
        }
    return v;
}

std::vector<std::vector<std::string>> csvOf(const std::string &text) {
    const fs::path file = freshDirectory("valuation-text") / "t.csv";
    writeText(file, text);
    return readCsv(file);
}

double number(const std::string &text) { return std::strtod(text.c_str(), nullptr); }

} // namespace

TEST(ValuationFiles, ByStatusFilesAreTidyWithTodaysColumnsAndEveryNumberReadsBack) {
    const auto v = madeUpValuation();
    const struct {
        int array;
        const char *const *columns;
        int blocks;
        int offset; // of cell()'s numbering
    } arrays[] = {{kByStatusMemberCounts, kMemberCountColumns, kMemberBlocks, 0},
                  {kByStatusDecrementCounts, kDecrementCountColumns, kDecrementBlocks, 3000},
                  {kByStatusCashflows, kCashflowColumns, kCashflowBlocks, 6000}};
    for (const auto &a : arrays) {
        const auto rows = csvOf(byStatusText(*v, a.array, ""));
        ASSERT_EQ(rows.size(), 1u + 5u * 111u);
        ASSERT_EQ(rows[0].size(), size_t(a.blocks + 2));
        EXPECT_EQ(rows[0][0], "status");
        EXPECT_EQ(rows[0][1], "year");
        for (int b = 1; b <= a.blocks; ++b) EXPECT_EQ(rows[0][b + 1], a.columns[b]);
        const char *names[] = {"", "in_service", "pensioners", "disabled", "deferred", "spouses"};
        for (int s = 1; s <= 5; ++s)
            for (int year = 0; year <= 110; ++year) {
                const auto &row = rows[1 + (s - 1) * 111 + year];
                ASSERT_EQ(row.size(), size_t(a.blocks + 2));
                EXPECT_EQ(row[0], names[s]);
                EXPECT_EQ(row[1], std::to_string(year));
                for (int b = 1; b <= a.blocks; ++b)
                    ASSERT_EQ(number(row[b + 1]), cell(s, a.offset + b * 111 + year)) << s << " " << b << " " << year;
            }
    }
    // a stopped run's mark comes first
    EXPECT_EQ(byStatusText(*v, kByStatusCashflows, "STOPPED by Ctrl-C").rfind("# STOPPED by Ctrl-C\nstatus,year,", 0),
              0u);
}

TEST(ValuationFiles, PresentValuesHaveARowPerGroupTotalFirstAndAColumnPerCashflow) {
    const auto v = madeUpValuation();
    const auto rows = csvOf(presentValuesText(*v, ""));
    ASSERT_EQ(rows.size(), 7u);
    const std::vector<std::string> head(rows[0].begin(), rows[0].begin() + 8);
    EXPECT_EQ(head, (std::vector<std::string>{"group", "pvfb", "pv_contributions", "dbo", "service_cost",
                                              "pvfb_duration", "contributions_duration", "dbo_duration"}));
    ASSERT_EQ(rows[0].size(), 8u + kCashflowBlocks);
    EXPECT_EQ(rows[0][8], "pv_contributions_male");
    EXPECT_EQ(rows[0][8 + kCashflowBlocks - 1], "pv_bridge_pension_female");
    const char *groups[] = {"total", "in_service", "pensioners", "disabled", "deferred", "spouses"};
    for (int g = 0; g < kGroups; ++g) {
        const auto &row = rows[g + 1];
        ASSERT_EQ(row.size(), rows[0].size());
        EXPECT_EQ(row[0], groups[g]);
        EXPECT_EQ(number(row[1]), 1000.0 * (g + 1));
        EXPECT_EQ(number(row[2]), 100.0 * (g + 1));
        EXPECT_EQ(number(row[3]), 800.0 * (g + 1));
        EXPECT_EQ(number(row[4]), g == 1 ? 40.0 : 0.0);
        EXPECT_EQ(number(row[5]), 12.5);
        EXPECT_EQ(number(row[6]), 6.25);
        EXPECT_EQ(number(row[7]), 14.0);
        for (int b = 1; b <= kCashflowBlocks; ++b) EXPECT_EQ(number(row[7 + b]), cell(g, 9000 + b)) << g << " " << b;
    }
}

TEST(ValuationFiles, SensitivitiesGiveTheBaseThenEachWithItsChangeInPerCent) {
    const auto v = madeUpValuation();
    const auto rows = csvOf(sensitivitiesText(*v, ""));
    ASSERT_EQ(rows.size(), 1u + 3u * kGroups);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"sensitivity", "size", "group", "pvfb", "dbo", "service_cost",
                                                 "pv_contributions", "duration", "pvfb_change_pct", "dbo_change_pct",
                                                 "service_cost_change_pct", "pv_contributions_change_pct",
                                                 "duration_change_pct"}));
    const auto &base = rows[1];
    EXPECT_EQ(base[0], "base");
    EXPECT_EQ(base[2], "total");
    EXPECT_EQ(number(base[8]), 0.0);
    const auto &discount = rows[1 + kGroups]; // the discount sensitivity, every member
    EXPECT_EQ(discount[0], "discount_rate");
    EXPECT_EQ(number(discount[1]), 0.005);
    EXPECT_EQ(number(discount[3]), 1000.0 * 0.95);
    EXPECT_NEAR(number(discount[8]), -5.0, 1e-12);
    EXPECT_NEAR(number(discount[9]), -10.0, 1e-12);
    // no service cost outside service: no change to give, an empty cell
    EXPECT_EQ(discount[10], "");
    const auto &inService = rows[1 + kGroups + 1];
    EXPECT_EQ(inService[2], "in_service");
    EXPECT_NEAR(number(inService[10]), 0.0, 1e-12);
    const auto &mortality = rows[1 + 2 * kGroups + 2]; // pensioners
    EXPECT_EQ(mortality[0], "mortality");
    EXPECT_EQ(number(mortality[1]), 0.9);
    EXPECT_EQ(mortality[2], "pensioners");
    EXPECT_NEAR(number(mortality[8]), 2.0, 1e-12);
}

TEST(ValuationFiles, DiscountFactorsGiveEveryYearAndNoMidYearFactorInYear0) {
    const auto v = madeUpValuation();
    const auto rows = csvOf(discountFactorsText(*v));
    ASSERT_EQ(rows.size(), 112u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"year", "discount_factor", "mid_year_discount_factor"}));
    EXPECT_EQ(rows[1][0], "0");
    EXPECT_EQ(number(rows[1][1]), cell(7, 0));
    EXPECT_EQ(rows[1].size() == 2 || rows[1][2].empty(), true);
    for (int t = 1; t <= 110; ++t) {
        EXPECT_EQ(rows[t + 1][0], std::to_string(t));
        EXPECT_EQ(number(rows[t + 1][1]), cell(7, t));
        EXPECT_EQ(number(rows[t + 1][2]), cell(8, t));
    }
}

TEST(ValuationFiles, PerMemberRowsQuoteWhatTheCsvCannotHoldAsItIs) {
    TalvekMemberValues member{};
    member.line = 42;
    std::snprintf(member.member_number, sizeof member.member_number, "%s", "A,7\"b");
    member.status = TALVEK_MEMBER_DISABLED;
    member.age = 51;
    member.sex = 'F';
    member.benefits = 1.0 / 3.0;
    member.contributions = 0;
    member.obligation = 0.25;
    member.service_cost = 0;
    member.duration = 11.5;
    EXPECT_EQ(perMemberRow(member), "42,\"A,7\"\"b\",disabled,F,51,0.33333333333333331,0,0.25,0,11.5\n");
    // a member number filling its room without a terminating NUL is cut at the room
    std::memset(member.member_number, 'N', sizeof member.member_number);
    member.status = TALVEK_MEMBER_SURVIVING_SPOUSE;
    EXPECT_EQ(perMemberRow(member).substr(0, 37), "42,NNNNNNNNNNNNNNNN,spouses,F,51,0.33");
    EXPECT_EQ(csvField("plain"), "plain");
    EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(std::string(kPerMemberHeader),
              "line,member_number,status,sex,age,pvfb,pv_contributions,dbo,service_cost,duration\n");
}

TEST(ValuationFiles, EveryFileIsWrittenOnlyWhenChosenAndAFailedWriteIsReported) {
    auto v = madeUpValuation();
    TalvekMemberValues rows[3] = {};
    for (int i = 0; i < 3; ++i) {
        rows[i].line = i + 1;
        rows[i].status = 1;
    }
    v->members = rows;
    v->member_count = 3;
    const fs::path directory = freshDirectory("valuation-files");
    std::vector<std::string> written;
    std::string problem;
    ASSERT_TRUE(writeValuationFiles(directory, *v, ValuationChoice{}, "", written, problem)) << problem;
    EXPECT_EQ(written, (std::vector<std::string>{kMemberCountsByStatusFile, kDecrementCountsByStatusFile,
                                                 kCashflowsByStatusFile, kPresentValuesFile, kDiscountFactorsFile}));
    EXPECT_FALSE(fs::exists(directory / kPerMemberFile));
    EXPECT_FALSE(fs::exists(directory / kSensitivitiesFile));
    written.clear();
    ASSERT_TRUE(writeValuationFiles(directory, *v, ValuationChoice{true, true}, "", written, problem)) << problem;
    EXPECT_EQ(written.size(), 7u);
    EXPECT_EQ(readCsv(directory / kPerMemberFile).size(), 4u);
    EXPECT_EQ(readText(directory / kSensitivitiesFile), sensitivitiesText(*v, ""));
    EXPECT_EQ(readText(directory / kPresentValuesFile), presentValuesText(*v, ""));

    // a folder that is not there: false, with the file and the reason
    written.clear();
    EXPECT_FALSE(writeValuationFiles(directory / "absent", *v, ValuationChoice{}, "", written, problem));
    EXPECT_NE(problem.find((directory / "absent" / kMemberCountsByStatusFile).string() +
                           ": No such file or directory"),
              std::string::npos)
        << problem;
    EXPECT_TRUE(written.empty());
    v->members = nullptr;
}

TEST(ValuationFiles, SummaryShowsEveryStatusThenTheTotalAndTheSensitivities) {
    const auto v = madeUpValuation();
    PlanBasis basis;
    basis.discountRateYears1To10 = 0.035;
    basis.discountRateYears11To110 = 0.03;
    const fs::path file = freshDirectory("valuation-summary") / "summary.txt";
    std::FILE *out = std::fopen(file.c_str(), "w");
    writeValuationSummary(out, *v, ValuationChoice{false, true}, basis);
    std::fclose(out);
    const std::string text = readText(file);
    EXPECT_NE(text.find("the basis's discount rates, 0.035 in years 1 to 10 and 0.03 in years 11 to 110"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("              PVFB  contributions   DBO  service cost  duration\n"
                        "  in_service  2000            200  1600            40     12.50\n"),
              std::string::npos)
        << text;
    // the total last
    EXPECT_LT(text.find("  spouses"), text.find("  total       1000"));
    EXPECT_NE(text.find("  discount_rate  +0.005   950  -5.00 %  720  -10.00 %"), std::string::npos) << text;
    EXPECT_NE(text.find("  mortality       x 0.9  1020   2.00 %"), std::string::npos) << text;

    basis.valuation.curveForm = CurveForm::SpotRates;
    basis.valuation.termsGiven = 3;
    basis.valuation.curve[3] = 0.02;
    EXPECT_EQ(curveDescription(basis),
              "spot rates by term from [discount], 3 terms given, the last (0.02) carried on to term 110");
    basis.valuation.curveForm = CurveForm::ForwardRates;
    basis.valuation.termsGiven = 110;
    EXPECT_EQ(curveDescription(basis), "forward rates by year from [discount], 110 years given");
}

// The numbers are the bytes "%.17g" gives, as in today's result files:
// large, small, negative, whole, subnormal and signed zero alike.
TEST(ValuationFiles, NumbersAreWrittenAsTodaysFilesWriteThem) {
    TalvekMemberValues member{};
    member.line = 1;
    member.status = TALVEK_MEMBER_IN_SERVICE;
    for (const double value : {0.0, -0.0, 1.0, -2.5, 1.0 / 3.0, 123456789012345678.0, 1e21, 1e-300, 4.9e-324,
                               654743352.20595276, 0.1, 1e17, 99999999999999999.0, 2.0 / 3.0 * 1e-5}) {
        member.benefits = value;
        const std::string row = perMemberRow(member);
        // line, member number, status, sex, age, then pvfb
        size_t at = 0;
        for (int comma = 0; comma < 5; ++comma) at = row.find(',', at) + 1;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.17g", value);
        EXPECT_EQ(row.substr(at, row.find(',', at) - at), expected) << value;
        EXPECT_EQ(std::strtod(expected, nullptr), value);
    }
}
