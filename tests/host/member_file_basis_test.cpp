// The basis file's [member_file]: the layout, the header row, the decimal
// separator, and columns by position or by header text.
#include <gtest/gtest.h>

#include "basis_file.h"
#include "host_test_support.h"
#include "member_file_basis.h"

namespace {

struct Outcome {
    bool ok;
    PlanBasis basis;
    std::string errors;
};

Outcome readExampleWith(const std::string &section) {
    Outcome outcome;
    std::vector<std::string> errors;
    outcome.ok = readBasisText(exampleBasisWithMemberFile(section), "basis.toml", sourcePath("examples"),
                               outcome.basis, errors);
    for (const std::string &error : errors) outcome.errors += error + "\n";
    return outcome;
}

const char *const kCodes = "[member_file.status_codes]\n"
                           "in_service = \"A\"\npensioner = \"P\"\ndisabled = \"D\"\ndeferred = \"V\"\n"
                           "surviving_spouse = \"S\"\n";

} // namespace

TEST(MemberFileBasis, TodaysLayoutIsTheDefault) {
    const Outcome outcome = readExampleWith(exampleMemberFile("comma", ""));
    ASSERT_TRUE(outcome.ok) << outcome.errors;
    EXPECT_FALSE(outcome.basis.spreadsheetLayout);
    EXPECT_FALSE(outcome.basis.headerRow);
    EXPECT_EQ(outcome.basis.decimalSeparator, '.');
    EXPECT_EQ(outcome.basis.fieldColumn[14], 14);
}

TEST(MemberFileBasis, ASpreadsheetWithHeaderTextsAndDecimalCommas) {
    const Outcome outcome = readExampleWith(
        "[member_file]\ndelimiter = \"semicolon\"\nlayout = \"spreadsheet\"\nheader = true\n"
        "decimal_separator = \"comma\"\n[member_file.columns]\nmember_number = \"Member No\"\nstatus = 2\n"
        "age = \" AGE \"\nsex = 30\n" + std::string(kCodes));
    ASSERT_TRUE(outcome.ok) << outcome.errors;
    const PlanBasis &b = outcome.basis;
    EXPECT_TRUE(b.spreadsheetLayout);
    EXPECT_TRUE(b.headerRow);
    EXPECT_EQ(b.decimalSeparator, ',');
    EXPECT_EQ(b.fieldHeader[1], "Member No");
    EXPECT_EQ(b.fieldColumn[1], 0);
    EXPECT_EQ(b.fieldColumn[2], 2);
    EXPECT_EQ(headerKey(b.fieldHeader[3]), "age");
    EXPECT_EQ(b.fieldColumn[4], 30); // a spreadsheet may have more than 20 columns
}

TEST(MemberFileBasis, EveryInconsistentLayoutIsRefusedWithItsKey) {
    struct Bad {
        std::string section;
        std::string expected;
    };
    const std::string columns = "[member_file.columns]\nstatus = 2\nage = 3\nsex = 4\n";
    const std::vector<Bad> cases = {
        {"[member_file]\ndelimiter = \"comma\"\ndecimal_separator = \"comma\"\n" + columns + kCodes,
         "member_file.decimal_separator: \"comma\" is also the delimiter"},
        {"[member_file]\ndelimiter = \"comma\"\nlayout = \"excel\"\n" + columns + kCodes,
         "member_file.layout: \"excel\" is not accepted; allowed: \"library\" or \"spreadsheet\""},
        {"[member_file]\ndelimiter = \"comma\"\nheader = \"yes\"\n" + columns + kCodes,
         "member_file.header: not true or false"},
        {"[member_file]\ndelimiter = \"comma\"\n[member_file.columns]\nstatus = \"Status\"\nage = 3\nsex = 4\n" +
             std::string(kCodes),
         "member_file.columns.status: \"Status\" names a column but the file has no header row"},
        {"[member_file]\ndelimiter = \"comma\"\nheader = true\n[member_file.columns]\nstatus = \"age\"\nage = \"AGE\"\n"
         "sex = 4\n" + std::string(kCodes),
         "member_file.columns.age: \"AGE\" already names status"},
        {"[member_file]\ndelimiter = \"comma\"\n[member_file.columns]\nstatus = 2\nage = 30\nsex = 4\n" +
             std::string(kCodes),
         "member_file.columns.age: 30 is out of range; allowed: a whole number from 1 to 20"},
        {"[member_file]\ndelimiter = \"comma\"\nlayout = \"spreadsheet\"\n[member_file.columns]\nstatus = 2\nage = 256\n"
         "sex = 4\n" + std::string(kCodes),
         "member_file.columns.age: 256 is out of range; allowed: a whole number from 1 to 255"},
        {"[member_file]\ndelimiter = \"comma\"\n[member_file.columns]\nstatus = 2\nage = 3\n" + std::string(kCodes),
         "member_file.columns.sex: missing"},
    };
    for (const Bad &bad : cases) {
        const Outcome outcome = readExampleWith(bad.section);
        EXPECT_FALSE(outcome.ok) << bad.expected;
        EXPECT_NE(outcome.errors.find(bad.expected), std::string::npos) << "expected: " << bad.expected << "\ngot: "
                                                                         << outcome.errors;
    }
}
