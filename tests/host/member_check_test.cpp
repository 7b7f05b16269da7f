// The member data check and the conversion: files as spreadsheets write
// them value exactly as the same members in the library's layout; every
// kind of strict error is found at its line and column; the layout's
// problems; the data summary against the valuation; parts and threads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "basis_file.h"
#include "check_report.h"
#include "host_test_support.h"
#include "member_check.h"
#include "member_generator.h"

namespace {

const char *const kFieldHeaders[kMemberFields + 1] = {
    "", "Member No", "Status", "Age", "Sex", "Salary", "Weeks guaranteed", "Weeks not guaranteed", "Pension",
    "Marital status", "Spouse age", "Years retired", "Bridge pension", "Guaranteed part", "Average salary"};

std::string generatedLines(int64_t members, uint64_t seed) {
    MemberRandom random{seed};
    std::string text;
    for (int64_t i = 1; i <= members; ++i) appendMemberLine(text, random, i);
    return text;
}

// How a spreadsheet program or an administration system writes the file.
struct SheetForm {
    const char *name;
    char delimiter = ',';
    bool decimalComma = false;
    bool header = false;
    bool byteOrderMark = false;
    const char *lineEnd = "\r\n";
    bool quoteAll = false;
    bool blankLines = false;   // blank lines and rows of empty cells among the members and at the end
    bool extraColumn = false;  // a name column before the age, in quotes, holding the delimiter
};

std::vector<std::string> splitLibraryLine(const std::string &line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ',') continue;
        fields.push_back(line.substr(start, i - start));
        start = i + 1;
    }
    return fields; // the text after the last delimiter is the line feed's
}

std::string inQuotes(const std::string &text) {
    std::string q = "\"";
    for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string asSpreadsheet(const std::string &library, const SheetForm &form) {
    std::string out = form.byteOrderMark ? "\xEF\xBB\xBF" : "";
    const std::string d(1, form.delimiter);
    auto row = [&](std::vector<std::string> cells) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) line += (i == 0 ? "" : d) + cells[i];
        out += line + form.lineEnd;
    };
    if (form.header) {
        std::vector<std::string> names;
        for (int field = 1; field <= kMemberFields; ++field) {
            if (form.extraColumn && field == 3) names.push_back("Name");
            names.push_back(inQuotes(kFieldHeaders[field]));
        }
        row(names);
    }
    size_t start = 0;
    int number = 0;
    while (start < library.size()) {
        const size_t end = library.find('\n', start);
        std::vector<std::string> cells = splitLibraryLine(library.substr(start, end - start));
        for (std::string &cell : cells) {
            if (form.decimalComma) for (char &c : cell) c = c == '.' ? ',' : c;
            if (form.quoteAll) cell = inQuotes(cell);
        }
        if (form.extraColumn) cells.insert(cells.begin() + 2, inQuotes("Smith" + d + " \"Jo\" " + std::to_string(number)));
        row(cells);
        if (form.blankLines && ++number % 7 == 0) out += number % 2 == 0 ? std::string(form.lineEnd) : d + d + d + form.lineEnd;
        start = end + 1;
    }
    if (form.blankLines) out += std::string(form.lineEnd) + form.lineEnd;
    return out;
}

std::string sheetSection(const SheetForm &form) {
    const char *delimiter = form.delimiter == ';' ? "semicolon" : form.delimiter == '\t' ? "tab" : "comma";
    std::string section = std::string("[member_file]\ndelimiter = \"") + delimiter + "\"\nlayout = \"spreadsheet\"\n";
    section += form.header ? "header = true\n" : "";
    section += form.decimalComma ? "decimal_separator = \"comma\"\n" : "";
    section += "[member_file.columns]\n";
    for (int field = 1; field <= kMemberFields; ++field) {
        const int column = form.extraColumn && field >= 3 ? field + 1 : field;
        section += std::string(kMemberFieldNames[field]) + " = " +
                   (form.header ? "\"" + std::string(kFieldHeaders[field]) + "\"" : std::to_string(column)) + "\n";
    }
    return section + "[member_file.status_codes]\nin_service = \"A\"\npensioner = \"P\"\ndisabled = \"D\"\n"
                     "deferred = \"V\"\nsurviving_spouse = \"S\"\n";
}

const PlanBasis &exampleBasis() {
    static const PlanBasis basis = basisFromText(readText(sourcePath("examples/basis.toml")));
    return basis;
}

MemberCheck checked(const PlanBasis &basis, const std::string &bytes, int jobs = 1) {
    MemberCheck check;
    checkMemberBytes(basis, bytes.data(), static_cast<int64_t>(bytes.size()), check, jobs);
    return check;
}

std::string findingsOf(const MemberCheck &check) {
    std::string text;
    for (const CheckProblem &problem : check.problems) text += describeProblem(problem, "f") + "\n";
    return text;
}

// The engine's run on what the check hands it.
EngineRun valueChecked(const PlanBasis &basis, const MemberCheck &check, const std::string &file, int jobs = 1) {
    const std::string bytes = check.converted ? check.convertedBytes : file.substr(static_cast<size_t>(check.firstByte));
    return runEngineOnBytes(basis, bytes, check.engineColumns, jobs);
}

void expectSameRun(const EngineRun &a, const EngineRun &b) {
    ASSERT_EQ(a.status, TALVEK_OK);
    ASSERT_EQ(b.status, TALVEK_OK);
    EXPECT_EQ(a.results->members_done, b.results->members_done);
    EXPECT_EQ(a.results->error_count, b.results->error_count);
    EXPECT_EQ(a.results->line_reads, b.results->line_reads);
    // the arrays to the bit
    EXPECT_EQ(std::memcmp(a.results->member_counts, b.results->member_counts, sizeof a.results->member_counts), 0);
    EXPECT_EQ(std::memcmp(a.results->decrement_counts, b.results->decrement_counts, sizeof a.results->decrement_counts), 0);
    EXPECT_EQ(std::memcmp(a.results->benefit_cashflows, b.results->benefit_cashflows, sizeof a.results->benefit_cashflows), 0);
    EXPECT_EQ(a.listing, b.listing);
    EXPECT_EQ(a.errors, b.errors);
}

struct StrictCase {
    std::string line;   // the second line of the file
    int32_t column;
    CheckRule rule;
    std::string detail; // a part of the finding's text
};

} // namespace

TEST(MemberCheck, EveryKindOfExportValuesExactlyAsTheSameMembersInTheLibrarysLayout) {
    const std::string library = generatedLines(400, 3);
    const EngineRun original = runEngineOnBytes(exampleBasis(), library, exampleBasis().fieldColumn);
    std::vector<SheetForm> forms(11);
    forms[0].name = "no delimiter after the last field";
    forms[1].name = "header row naming the columns";
    forms[1].header = true;
    forms[2].name = "every field in quotes";
    forms[2].quoteAll = true;
    forms[3].name = "blank lines and rows of empty cells";
    forms[3].blankLines = true;
    forms[4].name = "byte-order mark";
    forms[4].byteOrderMark = true;
    forms[5].name = "decimal commas and semicolons";
    forms[5].decimalComma = true;
    forms[5].delimiter = ';';
    forms[6].name = "line feeds";
    forms[6].lineEnd = "\n";
    forms[7].name = "carriage returns alone";
    forms[7].lineEnd = "\r";
    forms[8].name = "a column the valuation does not use, in quotes, holding the delimiter";
    forms[8].extraColumn = true;
    forms[9].name = "tabs";
    forms[9].delimiter = '\t';
    forms[10] = SheetForm{"all at once", ';', true, true, true, "\r", true, true, true};
    for (const SheetForm &form : forms) {
        SCOPED_TRACE(form.name);
        const PlanBasis basis = basisFromText(exampleBasisWithMemberFile(sheetSection(form)));
        const std::string sheet = asSpreadsheet(library, form);
        const MemberCheck check = checked(basis, sheet);
        EXPECT_FALSE(check.hasErrors) << findingsOf(check);
        ASSERT_TRUE(check.converted);
        EXPECT_EQ(check.summary.byStatus[0].members, 400);
        EXPECT_EQ(check.summary.headerLines, form.header ? 1 : 0);
        EXPECT_EQ(check.summary.linesRead, 400 + check.summary.headerLines + check.summary.blankLines);
        EXPECT_EQ(check.summary.blankLines, form.blankLines ? 400 / 7 + 2 : 0);
        // the converted lines are the library's own, with the file's delimiter
        std::string expected = library;
        for (char &c : expected) c = c == ',' ? form.delimiter : c;
        if (!form.extraColumn) {
            EXPECT_TRUE(check.convertedBytes == expected);
        }
        expectSameRun(valueChecked(basis, check, sheet), original);
    }
}

TEST(MemberCheck, AFileInTheLibrarysLayoutGoesToTheEngineAsItIs) {
    const std::string library = generatedLines(300, 4);
    const MemberCheck check = checked(exampleBasis(), library);
    EXPECT_FALSE(check.hasErrors) << findingsOf(check);
    EXPECT_FALSE(check.converted);
    EXPECT_EQ(check.firstByte, 0);
    EXPECT_EQ(check.engineColumns, exampleBasis().fieldColumn);
    // with a header row the engine reads from the line after it
    const PlanBasis headed = basisFromText(exampleBasisWithMemberFile(exampleMemberFile("comma", "header = true")));
    const std::string header = "number,status,age,sex,salary,w1,w2,pension,marital,spouse,retired,bridge,part,average,\n";
    const MemberCheck afterHeader = checked(headed, header + library);
    EXPECT_FALSE(afterHeader.hasErrors) << findingsOf(afterHeader);
    EXPECT_FALSE(afterHeader.converted);
    EXPECT_EQ(afterHeader.firstByte, static_cast<int64_t>(header.size()));
    expectSameRun(valueChecked(headed, afterHeader, header + library),
                  runEngineOnBytes(exampleBasis(), library, exampleBasis().fieldColumn));
}

TEST(MemberCheck, EveryKindOfStrictErrorIsFoundAtItsLineAndColumn) {
    const std::string good = "M0000001,A,41,F,54545.96,,374.23,,M,47,,,,,\n";
    const std::vector<StrictCase> cases = {
        {"M2,A,41,F,5O000.00,,,,M,,,,,,", 5, RuleLetter, "the letter O in a number; the valuation would read 5000.00"},
        {"M2,A,41,F,-50000.00,,,,M,,,,,,", 5, RuleSign, "the sign -; the valuation would read 50000.00"},
        {"M2,A,41,F,50000,5e4,,,M,,,,,,", 6, RuleExponent, "the valuation would read 54.00"},
        {"M2,A,4O,F,50000,,,,M,,,,,,", 3, RuleLetter, "the valuation would read 71"},
        {"M2,A,41,F,50000,52l.79,,,M,,,,,,", 6, RuleLetter, "the valuation would read 52.79"},
        {"M2,A,41,F,50000,,,,M,4 5,,,,,", 10, RuleCharacter, "the valuation would read 45"},
        {"M2,A,41,F,50000.123,,,,M,,,,,,", 5, RuleDecimals,
         "3 decimals where the field allows 2; the valuation would reject the line (amount unreadable"},
        {"M2,P,70,M,,,,9000,M,,,,0.1255,,", 13, RuleDecimals, "4 decimals where the field allows 3"},
        {"M2,A,41.5,F,50000,,,,M,,,,,,", 3, RuleDecimals,
         "decimals in a whole number; the valuation would reject the line (age outside 15..119)"},
        {"M2,A,41,F,$50000,,,,M,,,,,,", 5, RuleCharacter, "the valuation would read 50000.00"},
        {"M2,A,41,F,50000,,,,M,,,,\"75\",,", 13, RuleQuoted, "a field in quotes"},
        // lines the valuation reads in one pass, with what that pass does not see
        {"\"M2\",A,41,F,50000,,,,M,,,,,,", 1, RuleQuoted, "a field in quotes"},
        {"M2,A,41,F,.,,,,M,,,,,,", 5, RuleNoDigits, "no digits; the valuation would read 0.00"},
        // a line the one pass leaves at its rejected age: the fields after it are checked all the same
        {"M2,A,14,F,5O000,,,,M,,,,,,", 5, RuleLetter, "the valuation would read 5000.00"},
        {"M2,A,41,F,50000,,,,M,,,,,,,,,,,,,,,,,,,,LONGMEMBERNUMBER000000001,", 0, RuleLetter, ""}, // no finding: unused columns after the last field
        {"LONGMEMBERNUMBER000000001,A,41,F,50000,,,,M,,,,,,", 1, RuleTooWide, "25 characters where the field holds 20"},
        {"M2,ACTIVE,41,F,50000,,,,M,,,,,,", 2, RuleTooWide, "6 characters where the field holds 5"},
        {"M2,A,41,FE,50000,,,,M,,,,,,", 4, RuleTooWide, "2 characters where the field holds 1"},
        {"M2,A,4294967337,F,50000,,,,M,,,,,,", 3, RuleTooWide, "10 digits: the valuation holds at most 9; the valuation would read 41"},
    };
    for (const StrictCase &c : cases) {
        SCOPED_TRACE(c.line);
        const MemberCheck check = checked(exampleBasis(), good + c.line + "\n" + good);
        if (c.column == 0) {
            EXPECT_FALSE(check.hasErrors) << findingsOf(check);
            continue;
        }
        ASSERT_TRUE(check.hasErrors);
        ASSERT_FALSE(check.problems.empty());
        const CheckProblem &p = check.problems.front();
        EXPECT_EQ(p.line, 2);
        EXPECT_EQ(p.column, c.column);
        EXPECT_EQ(p.field, c.column); // the example's columns are its field codes
        EXPECT_EQ(p.rule, c.rule) << ruleInfo(p.rule).name;
        EXPECT_EQ(p.member, c.line.substr(0, c.line.find(',')));
        EXPECT_NE(p.detail.find(c.detail), std::string::npos) << p.detail;
        EXPECT_EQ(check.summary.linesWithErrors, 1);
    }
}

TEST(MemberCheck, TheOtherDecimalSeparatorIsAnErrorEitherWay) {
    // semicolons and the point: a decimal comma would read as a hundred times the amount
    const PlanBasis point = basisFromText(exampleBasisWithMemberFile(exampleMemberFile("semicolon", "")));
    MemberCheck check = checked(point, "M1;A;40;M;10000,00;;;;M;;;;;;\n");
    ASSERT_EQ(check.problems.size(), 1u) << findingsOf(check);
    EXPECT_EQ(check.problems[0].rule, RuleDecimalSeparator);
    EXPECT_NE(check.problems[0].detail.find("the valuation would read 1000000.00"), std::string::npos);
    const PlanBasis comma =
        basisFromText(exampleBasisWithMemberFile(exampleMemberFile("semicolon", "decimal_separator = \"comma\"")));
    check = checked(comma, "M1;A;40;M;10000,00;;;;M;;;;;;\nM2;A;40;M;10000.00;;;;M;;;;;;\nM3;A;40;M;1.234,50;;;;M;;;;;;\n");
    ASSERT_EQ(check.problems.size(), 2u) << findingsOf(check);
    EXPECT_EQ(check.problems[0].line, 2);
    EXPECT_EQ(check.problems[0].rule, RuleDecimalSeparator);
    EXPECT_EQ(check.problems[1].rule, RuleThousandsSeparator);
    EXPECT_EQ(check.convertedBytes.substr(0, 30), "M1;A;40;M;10000.00;;;;M;;;;;;\n");
}

TEST(MemberCheck, TheLayoutsProblemsAreFoundAndExplained) {
    struct LayoutCase {
        const char *name;
        std::string section; // empty: the example's
        std::string file;
        CheckRule rule;
        int64_t line;
        bool acceptable;
    };
    const std::string good = "M0000001,A,41,F,54545.96,,374.23,,M,47,,,,,\n";
    const std::string sheet = sheetSection(SheetForm{"", ',', false, false, false, "\n", false, false, false});
    const std::string headed = sheetSection(SheetForm{"", ',', false, true, false, "\n", false, false, false});
    const std::vector<LayoutCase> cases = {
        {"byte-order mark", "", "\xEF\xBB\xBF" + good, RuleByteOrderMark, 1, true},
        {"blank line", "", good + "\n" + good, RuleBlankLine, 2, true},
        {"carriage returns alone", "", "M1,A,41,F,1,,,,M,,,,,,\rM2,A,41,F,1,,,,M,,,,,,\r", RuleCarriageReturn, 1, true},
        {"header row", "", "number,status,age,sex,salary,w1,w2,pension,marital,spouse,retired,bridge,part,average,\n" + good,
         RuleHeaderRow, 1, true},
        {"wrong delimiter", "", good + "M2;A;41;F;1;;;;M;;;;;;\n", RuleNoDelimiter, 2, true},
        {"no delimiter after the last field", "", good + "M2,A,41,F,1,,,,M,,,,,9.5\n", RuleNoFinalDelimiter, 2, true},
        {"last line without a line feed", "", good + "M2,A,41", RuleLastLineEnd, 2, true},
        {"line read in pieces", "", good + "M2,A,41,F,1,,,,M,,,,,," + std::string(600, ',') + "\n", RuleLineTooLong, 2, true},
        {"quote left open", sheet, "M0,A,41,F\nM1,A,\"41,F\n", RuleQuote, 2, false},
        {"delimiter inside a quoted number", sheet, "M0,A,41,F\nM1,A,41,F,\"1,5\"\n", RuleDelimiterInField, 2, false},
        {"header without the named column", headed, "Member No,Status\nM1,A\n", RuleHeaderColumn, 1, false},
    };
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        const PlanBasis basis = c.section.empty() ? exampleBasis() : basisFromText(exampleBasisWithMemberFile(c.section));
        const MemberCheck check = checked(basis, c.file);
        ASSERT_TRUE(check.hasErrors) << findingsOf(check);
        bool found = false;
        for (const CheckProblem &p : check.problems) found = found || (p.rule == c.rule && p.line == c.line);
        EXPECT_TRUE(found) << findingsOf(check);
        EXPECT_EQ(check.hasUnacceptableErrors, !c.acceptable) << findingsOf(check);
    }
}

TEST(MemberCheck, UnusedColumnsThatMisreadTheFieldsAfterThemAreErrors) {
    // the spouse age in column 12: columns 10 and 11 have no field
    const PlanBasis basis = basisFromText(editedSmallBasis("member_file.columns.spouse_age", 12));
    const MemberCheck check = checked(basis,
                                      "N1;ACT;40;M;40000.00;520;;;x;y;z;50;\n"
                                      "N2;ACT;40;M;40000.00;520;;;x;Smith, Johnathan;z;50;\n"
                                      "N3;ACT;40;M;40000.00;520;;;x;a!b;z;50;\n");
    ASSERT_EQ(check.problems.size(), 2u) << findingsOf(check);
    EXPECT_EQ(check.problems[0].rule, RuleUnusedColumnTooWide);
    EXPECT_EQ(check.problems[0].line, 2);
    EXPECT_EQ(check.problems[0].column, 10);
    EXPECT_EQ(check.problems[1].rule, RuleUnusedColumnStop);
    EXPECT_EQ(check.problems[1].line, 3);
}

TEST(MemberCheck, ImplausibleMembersAndNumbersSeenTwiceAreWarnings) {
    const std::string file = "M1,A,20,M,30000,5000,,,S,,,,,,\n"   // 96 years of service at 20
                             "M2,S,70,F,,,,5000,M,5,,,,,\n"        // a spouse aged 5
                             "M3,P,66,M,,,,9000,S,,50,,,,\n"       // retired at 16
                             "M4,A,40,F,,100,,,S,,,,,,\n"          // in service without salary
                             "M1,P,70,M,,,,9000,S,,5,,,,\n"        // the number of line 1
                             "LONGMEMBERID0001,V,50,F,,100,,,S,,,,,1000,\n"
                             "LONGMEMBERID0002,V,50,F,,100,,,S,,,,,1000,\n";
    const MemberCheck check = checked(exampleBasis(), file);
    EXPECT_FALSE(check.hasErrors) << findingsOf(check);
    const std::vector<std::pair<int64_t, CheckRule>> expected = {
        {1, RuleServiceLongerThanAge}, {2, RuleYoungSpouse},          {3, RuleRetiredYoung},
        {4, RuleNoSalary},             {5, RuleDuplicateMemberNumber}, {7, RuleSameCutMemberNumber}};
    ASSERT_EQ(check.problems.size(), expected.size()) << findingsOf(check);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(check.problems[i].line, expected[i].first) << i;
        EXPECT_EQ(check.problems[i].rule, expected[i].second) << i;
    }
    EXPECT_EQ(check.problems[4].detail, "the same member number as line 1");
    EXPECT_EQ(check.summary.findings[RuleNoSalary], 1);
}

TEST(MemberCheck, TheSummaryAddsUpAndAgreesWithTheValuation) {
    std::string file = generatedLines(3000, 8);
    file += "X1,A,14,M,30000,,,,M,,,,,,\n"   // an age the valuation rejects
            "X2,Z,40,M,30000,,,,M,,,,,,\n"   // an unknown status
            "X3,P,70,Q,,,,9000,S,,,,,,\n";   // a sex that is neither
    const MemberCheck check = checked(exampleBasis(), file);
    EXPECT_FALSE(check.hasErrors) << findingsOf(check);
    const DataSummary &s = check.summary;
    EXPECT_EQ(s.rejected[AgeOutOfRange], 1);
    EXPECT_EQ(s.rejected[UnknownStatus], 1);
    EXPECT_EQ(s.rejected[SexNotRecognized], 1);
    EXPECT_EQ(s.byStatus[0].members + rejectedLines(s) + s.headerLines + s.blankLines, s.linesRead);
    int64_t members = 0;
    double pensions = 0;
    for (int status = 1; status <= kStatuses; ++status) {
        members += s.byStatus[status].members;
        pensions += s.byStatus[status].pensionTotal;
        EXPECT_EQ(s.byStatus[status].male + s.byStatus[status].female, s.byStatus[status].members);
    }
    EXPECT_EQ(members, s.byStatus[0].members);
    EXPECT_NEAR(pensions, s.byStatus[0].pensionTotal, 1e-6 * pensions);
    const EngineRun run = valueChecked(exampleBasis(), check, file);
    EXPECT_EQ(run.results->members_done - run.results->unknown_statuses, s.byStatus[0].members);
    EXPECT_EQ(run.results->unknown_statuses, s.rejected[UnknownStatus]);
    EXPECT_EQ(run.results->error_count, rejectedLines(s) - s.rejected[UnknownStatus]);
    // the people at the valuation date are the members by status and sex
    const double *counts = run.results->member_counts;
    auto atStart = [&](int block) { return counts[TALVEK_ELEMENT(block, 0)]; };
    EXPECT_EQ(atStart(TALVEK_MEMBERS_ACTIVE_MALE), s.byStatus[1].male);
    EXPECT_EQ(atStart(TALVEK_MEMBERS_ACTIVE_FEMALE), s.byStatus[1].female);
    EXPECT_EQ(atStart(TALVEK_MEMBERS_DISABLED_MALE) + atStart(TALVEK_MEMBERS_DISABLED_FEMALE), s.byStatus[3].members);
    EXPECT_EQ(atStart(TALVEK_MEMBERS_DEFERRED_MALE) + atStart(TALVEK_MEMBERS_DEFERRED_FEMALE), s.byStatus[4].members);
    EXPECT_EQ(atStart(TALVEK_MEMBERS_SERVICE_RETIREES_MALE) + atStart(TALVEK_MEMBERS_SERVICE_RETIREES_IN_GUARANTEE_MALE),
              s.byStatus[2].male);
    EXPECT_EQ(atStart(TALVEK_MEMBERS_SERVICE_SURVIVORS_FEMALE), s.byStatus[5].female);
}

TEST(MemberCheck, PartsAndThreadsGiveTheSameCheck) {
    // about 2 MB of lines with mistakes: several parts
    std::string file = generatedLines(30000, 12);
    for (size_t at = 1000; at < file.size(); at += 7919) file[at] = "O-e,.\n"[at % 6];
    // numbers seen before, and long numbers the cut makes one, in every part
    for (int i = 0; i < 300; ++i) {
        file += "M00000" + std::to_string(10 + i % 50) + ",P,70,M,,,,9000,S,,5,,,,\n";
        file += "LONGMEMBERID" + std::to_string(i % 7) + ",P,70,M,,,,9000,S,,5,,,,\n";
        file += generatedLines(40, 100 + i);
    }
    const MemberCheck one = checked(exampleBasis(), file, 1);
    ASSERT_TRUE(one.hasErrors);
    EXPECT_GT(one.summary.findings[RuleDuplicateMemberNumber], 300);
    EXPECT_GT(one.summary.findings[RuleSameCutMemberNumber], 0);
    for (int jobs : {2, 3}) {
        const MemberCheck more = checked(exampleBasis(), file, jobs);
        EXPECT_TRUE(findingsOf(more) == findingsOf(one)) << jobs;
        EXPECT_EQ(std::memcmp(&more.summary, &one.summary, sizeof one.summary), 0) << jobs;
    }
    // the same lines in a spreadsheet's layout: the converted bytes too
    const PlanBasis basis = basisFromText(exampleBasisWithMemberFile(sheetSection(SheetForm{"", ';', true})));
    const std::string sheet = asSpreadsheet(generatedLines(30000, 12), SheetForm{"", ';', true});
    const MemberCheck sheetOne = checked(basis, sheet, 1);
    const MemberCheck sheetTwo = checked(basis, sheet, 2);
    EXPECT_FALSE(sheetOne.hasErrors) << findingsOf(sheetOne);
    std::string expected = generatedLines(30000, 12);
    for (char &c : expected) c = c == ',' ? ';' : c;
    EXPECT_TRUE(sheetOne.convertedBytes == expected);
    EXPECT_TRUE(sheetTwo.convertedBytes == sheetOne.convertedBytes);
}

TEST(MemberCheck, ThePartAfterABoundaryGetsTheCarriedNumberAndStatusAndWholeRecords) {
    // a member (its line long with columns the valuation passes), then three
    // empty lines that the valuation reads as copies of it (errors, but read
    // as the library reads them): almost every part begins among them
    std::string file;
    std::string unused;
    for (int c = 0; c < 17; ++c) unused += ",xxxxxxxxxx";
    for (int i = 0; i < 6000; ++i) file += "M" + std::to_string(i) + ",D,50,M,,,,8000,S,,,,,," + unused + "\n\n\n\n";
    const MemberCheck check = checked(exampleBasis(), file, 2);
    EXPECT_EQ(check.summary.byStatus[3].members, 6000 * 4);
    EXPECT_EQ(check.summary.rejected[UnknownStatus], 0);
    EXPECT_EQ(check.summary.findings[RuleBlankLine], 6000 * 3);
    EXPECT_EQ(check.problems.back().line, 6000 * 4);
    // a quoted cell with line feeds over a part's boundary: the next part starts after that record
    const PlanBasis basis = basisFromText(exampleBasisWithMemberFile(sheetSection(SheetForm{"", ',', false, false, false, "\n",
                                                                                            false, false, true})));
    const std::string lines = generatedLines(20000, 5);
    std::string sheet = asSpreadsheet(lines, SheetForm{"", ',', false, false, false, "\n", false, false, true});
    const size_t second = sheet.find('\n') + 1;
    const size_t nameAt = sheet.find('"', second);
    sheet.insert(nameAt + 1, std::string(700000, '\n')); // in the name column of line 2, which is not used
    const MemberCheck sheetCheck = checked(basis, sheet, 2);
    EXPECT_FALSE(sheetCheck.hasErrors) << findingsOf(sheetCheck).substr(0, 2000);
    EXPECT_EQ(sheetCheck.summary.byStatus[0].members, 20000);
    EXPECT_TRUE(sheetCheck.convertedBytes == lines);
}
