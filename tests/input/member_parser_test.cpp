// Parsing member lines: the digit rules of every field, the defaults of empty
// and absent fields, and every message of a field that cannot be read.
#include "input/member_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The fields of a line in the order of the codes 1..14.
std::vector<std::string> exampleFields() {
    return {"A123", "A", "45", "M", "30000.50", "520", "0", "0", "M", "0", "0", "0", "0", "0"};
}

class MemberParserTest : public ::testing::Test {
protected:
    std::FILE *logFile = std::tmpfile();
    int32_t errorCount = 0;
    ErrorLog log{ReportSink{logFile, nullptr, false, 0}, &errorCount};
    MemberRecord member{};
    int16_t columnMap[kMapColumns + 1]{};
    int16_t delimiterCode = 1; // tab
    // Exactly the line buffer's size, so that a read beyond it is caught by
    // the address sanitizer.
    std::vector<char> line = std::vector<char>(kLineBufferSize);

    MemberParserTest() {
        for (int16_t code = 1; code <= 14; ++code) columnMap[code] = code; // code k in column k
    }
    void TearDown() override { std::fclose(logFile); }

    // Puts the bytes into the line buffer as the line reader leaves them (a
    // NUL after them, "!" beyond) and parses them with a freshly reset record.
    bool parse(const std::string &bytes) {
        std::memset(line.data(), kLineFiller, line.size());
        std::memcpy(line.data(), bytes.data(), bytes.size());
        line[bytes.size()] = '\0';
        resetMemberRecord(member);
        return parseMemberLine(line.data(), makeLineLayout(delimiterCode, columnMap), member, log);
    }

    // The fields each followed by the delimiter, then a line feed.
    std::string joined(const std::vector<std::string> &fields) {
        const char delimiter = delimiterFromCode(delimiterCode);
        std::string text;
        for (const std::string &field : fields) text += field + delimiter;
        return text + "\n";
    }

    // The example line with the field of one code replaced.
    bool parseWith(int code, const std::string &value) {
        std::vector<std::string> fields = exampleFields();
        fields[static_cast<size_t>(code - 1)] = value;
        return parse(joined(fields));
    }

    // Everything written to the error log so far; the log is emptied.
    std::string takeLog() {
        std::fflush(logFile);
        std::rewind(logFile);
        std::string text;
        for (int c; (c = std::fgetc(logFile)) != EOF;) text += static_cast<char>(c);
        std::fclose(logFile);
        logFile = std::tmpfile();
        log.sink.file = logFile;
        return text;
    }
};

TEST_F(MemberParserTest, DelimiterAndColumnMap) {
    EXPECT_EQ(delimiterFromCode(1), '\t');
    EXPECT_EQ(delimiterFromCode(2), ',');
    EXPECT_EQ(delimiterFromCode(3), ';');
    EXPECT_EQ(delimiterFromCode(4), ' ');
    EXPECT_EQ(delimiterFromCode(0), '0');
    EXPECT_EQ(delimiterFromCode(-1), '0');

    int16_t map[kMapColumns + 1] = {7, 4, 3, 3, -2, 21, 0, 20, 30000};
    const LineLayout layout = makeLineLayout(2, map);
    EXPECT_EQ(layout.delimiter, ',');
    EXPECT_EQ(layout.fieldInColumn[3], 2); // codes 2 and 3 share column 3: the smaller wins
    EXPECT_EQ(layout.fieldInColumn[4], 1);
    EXPECT_EQ(layout.fieldInColumn[20], 7);
    EXPECT_EQ(layout.fieldInColumn[7], 0);  // element 0 of the map is no field code
    EXPECT_EQ(layout.fieldInColumn[1], 0);
    EXPECT_EQ(layout.fieldInColumn[2], 0);  // 0, negative and above 20 are absent
}

TEST_F(MemberParserTest, ExampleLineReadsEveryField) {
    ASSERT_TRUE(parse(joined(exampleFields())));
    EXPECT_STREQ(member.memberNumber, "A123      ");
    EXPECT_STREQ(member.statusCode, "A    ");
    EXPECT_EQ(member.age, 45);
    EXPECT_EQ(member.sex, 'M');
    EXPECT_DOUBLE_EQ(member.annualSalary, 30000.5);
    EXPECT_DOUBLE_EQ(member.serviceWithGuarantee, 520);
    EXPECT_EQ(member.maritalStatus, 'M');
    EXPECT_EQ(member.spouseAge, 0);
    EXPECT_EQ(errorCount, 0);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(MemberParserTest, EmptyAbsentAndMissingFieldsKeepTheirDefaults) {
    std::vector<std::string> fields = exampleFields();
    fields[7] = "";  // current pension
    fields[8] = "";  // marital status
    fields[2] = "";  // age
    fields[12] = ""; // guaranteed fraction
    ASSERT_TRUE(parse(joined(fields)));
    EXPECT_EQ(member.currentPension, 0);
    EXPECT_EQ(member.maritalStatus, '?');
    EXPECT_EQ(member.age, 0);
    EXPECT_EQ(member.guaranteedFraction, 0);
    EXPECT_EQ(member.sex, 'M'); // the column after an empty one reads normally

    // Empty text fields become spaces.
    fields[0] = "";
    fields[1] = "";
    ASSERT_TRUE(parse(joined(fields)));
    EXPECT_STREQ(member.memberNumber, "          ");
    EXPECT_STREQ(member.statusCode, "     ");

    // A line shorter than the map: the fields not reached keep their defaults.
    ASSERT_TRUE(parse("B7\tX\t60\tF\t\n"));
    EXPECT_EQ(member.age, 60);
    EXPECT_EQ(member.sex, 'F');
    EXPECT_EQ(member.annualSalary, 0);
    EXPECT_EQ(member.maritalStatus, '?');
    EXPECT_EQ(errorCount, 0);
}

TEST_F(MemberParserTest, EmptyLineKeepsThePreviousNumberAndStatus) {
    ASSERT_TRUE(parse(joined(exampleFields())));
    ASSERT_TRUE(parse("\n"));
    EXPECT_STREQ(member.memberNumber, "A123      ");
    EXPECT_STREQ(member.statusCode, "A    ");
    EXPECT_EQ(member.age, 0);
    EXPECT_EQ(member.sex, 'U');
    EXPECT_EQ(member.maritalStatus, '?');
    EXPECT_EQ(errorCount, 0);
}

TEST_F(MemberParserTest, AmountDigitRules) {
    ASSERT_TRUE(parseWith(5, "12.34"));
    EXPECT_DOUBLE_EQ(member.annualSalary, 12.34);
    ASSERT_TRUE(parseWith(5, "-12"));
    EXPECT_EQ(member.annualSalary, 12);
    ASSERT_TRUE(parseWith(5, "1,234"));
    EXPECT_EQ(member.annualSalary, 1234);
    ASSERT_TRUE(parseWith(5, "12."));
    EXPECT_EQ(member.annualSalary, 12);
    ASSERT_TRUE(parseWith(5, "7.5"));
    EXPECT_DOUBLE_EQ(member.annualSalary, 7.5);
    // Characters after the point count as digits of value code - 48.
    ASSERT_TRUE(parseWith(5, "1.A"));
    EXPECT_DOUBLE_EQ(member.annualSalary, 1 + 17 * 0.1);
    EXPECT_EQ(errorCount, 0);
}

TEST_F(MemberParserTest, IntegerDigitRules) {
    delimiterCode = 2; // comma, so that blanks are passed over
    ASSERT_TRUE(parseWith(3, " 45"));
    EXPECT_EQ(member.age, 45);
    ASSERT_TRUE(parseWith(3, "4 5"));
    EXPECT_EQ(member.age, 45);
    // A letter counts as a digit of its code minus 48: "2a" is 2 x 10 + 49.
    ASSERT_TRUE(parseWith(3, "2a"));
    EXPECT_EQ(member.age, 69);
    // Bytes are signed: 0xE9 counts as -23 - 48, "2\xE9" is 20 - 71.
    EXPECT_FALSE(parseWith(3, "2\xE9"));
    EXPECT_EQ(member.age, -51);
    // The sum wraps modulo 2^32: 4294967341 = 2^32 + 45.
    ASSERT_TRUE(parseWith(3, "4294967341"));
    EXPECT_EQ(member.age, 45);
    // A minus sign counts as -3.
    EXPECT_FALSE(parseWith(10, "-5"));
    EXPECT_EQ(member.spouseAge, -25);
}

TEST_F(MemberParserTest, IntegerRanges) {
    struct Case {
        int code;
        const char *value;
        bool accepted;
    };
    const Case cases[] = {
        {3, "14", false}, {3, "15", true}, {3, "119", true}, {3, "120", false},
        {10, "119", true}, {10, "120", false}, {10, "1", true},
        {11, "0", true}, {11, "50", true}, {11, "51", false},
    };
    for (const Case &c : cases) {
        errorCount = 0;
        EXPECT_EQ(parseWith(c.code, c.value), c.accepted) << c.code << " " << c.value;
        EXPECT_EQ(errorCount, c.accepted ? 0 : 1) << c.code << " " << c.value;
    }
    takeLog();

    EXPECT_FALSE(parseWith(3, "14"));
    EXPECT_EQ(member.age, 14); // kept, so that the listing shows it
    EXPECT_FALSE(parseWith(10, "120"));
    EXPECT_FALSE(parseWith(10, "-1"));
    EXPECT_FALSE(parseWith(11, "51"));
    EXPECT_EQ(takeLog(),
              "Error: Member A123      , member age  14 outside allowable range.\n"
              "Error: Member A123      , spouse age 120 outside allowable range.\n"
              "Error: Member A123      , spouse age -29 outside allowable range.\n"
              "Error: Member A123      , years since retirement  51 outside allowable range.\n");
}

TEST_F(MemberParserTest, NumericFieldsEndAtPosition195) {
    columnMap[3] = 1; // age in column 1, the only field
    for (int16_t code = 1; code <= 14; ++code) {
        if (code != 3) columnMap[code] = 0;
    }
    // Delimiter at position 195: accepted.
    ASSERT_TRUE(parse(std::string(193, ' ') + "45\t\n"));
    EXPECT_EQ(member.age, 45);
    // Delimiter at position 196: too wide.
    EXPECT_FALSE(parse(std::string(194, ' ') + "45\t\n"));
    columnMap[3] = 0;
    columnMap[10] = 1;
    EXPECT_FALSE(parse(std::string(200, ' ') + "\t\n"));
    columnMap[10] = 0;
    columnMap[11] = 1;
    EXPECT_FALSE(parse(std::string(200, '1') + "\t\n"));
    columnMap[11] = 0;
    columnMap[8] = 1;
    EXPECT_FALSE(parse(std::string(200, '1') + "\t\n"));
    const std::string text = takeLog();
    const std::string expectedStart =
        "Error: Member , member age field too wide.\n"
        "Error: Member , spouse age field too wide.\n"
        "Error: Member , years since retirement field is too wide.\n"
        "Error: Member , problem reading current pension field: 1111111111";
    EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
    // The amount of 195 digits is written whole, with its line feed.
    EXPECT_EQ(text.substr(text.size() - 5), ".00.\n");
    EXPECT_GT(text.size(), expectedStart.size() + 185);
    EXPECT_EQ(errorCount, 4);
}

TEST_F(MemberParserTest, AmountMessagesShowWhereTheParseStopped) {
    EXPECT_FALSE(parseWith(5, "12.345"));
    EXPECT_EQ(member.annualSalary, 12.34); // kept as far as read
    EXPECT_FALSE(parseWith(6, "520.123"));
    EXPECT_FALSE(parseWith(7, "12.345"));
    EXPECT_FALSE(parseWith(8, "1500.005"));
    EXPECT_FALSE(parseWith(12, "99.999"));
    EXPECT_FALSE(parseWith(14, "1.001"));
    EXPECT_EQ(takeLog(),
              "Error: Member A123      , problem reading annual salary field.\n"
              "Error: Member A123      , problem reading 'service with inflation guarantee' 3.\n"
              "Error: Member A123      , problem reading 'service without inflation guarantee'  12.34.\n"
              "Error: Member A123      , problem reading current pension field:    1500.00.\n"
              "Error: Member A123      , problem reading bridge pension field:      99.99.\n"
              "Error: Member A123      , problem reading average salary field.\n");
    EXPECT_EQ(errorCount, 6);
}

TEST_F(MemberParserTest, GuaranteedFractionAcceptsPercentages) {
    struct Case {
        const char *text;
        double value;
    };
    const Case cases[] = {
        {"75", 0.75}, {"0.125", 0.125}, {"0.25", 0.25}, {"1", 1},
        {"50.5", 0.505}, {"12.", 0.12}, {"12", 0.12}, {".5", 0.5},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(parseWith(13, c.text)) << c.text;
        EXPECT_DOUBLE_EQ(member.guaranteedFraction, c.value) << c.text;
    }
    EXPECT_FALSE(parseWith(13, "0.1255"));
    EXPECT_FALSE(parseWith(13, "12.3456"));
    EXPECT_EQ(takeLog(),
              "Error: Member A123      , problem reading fraction of pension with inflation guarantee   0.12.\n"
              "Error: Member A123      , problem reading fraction of pension with inflation guarantee   0.12.\n");
}

TEST_F(MemberParserTest, SexAndMaritalStatusLetters) {
    for (const char *letter : {"M", "m", "F", "f"}) EXPECT_TRUE(parseWith(4, letter)) << letter;
    for (const char *letter : {"M", "m", "U", "u", "S", "s"}) EXPECT_TRUE(parseWith(9, letter)) << letter;
    EXPECT_EQ(errorCount, 0);

    EXPECT_FALSE(parseWith(4, "MM"));
    EXPECT_FALSE(parseWith(4, "X"));
    EXPECT_EQ(member.sex, 'X');
    // An empty sex column stores the delimiter: too wide before a field,
    // not recognised before an empty one.
    EXPECT_FALSE(parseWith(4, ""));
    EXPECT_EQ(member.sex, '\t');
    std::vector<std::string> fields = exampleFields();
    fields[3] = "";
    fields[4] = "";
    EXPECT_FALSE(parse(joined(fields)));
    EXPECT_FALSE(parseWith(9, "MX"));
    EXPECT_FALSE(parseWith(9, "X"));
    EXPECT_EQ(takeLog(),
              "Error: Member A123      , member sex field too wide.\n"
              "Error: Member A123      , member sex X not recognized.\n"
              "Error: Member A123      , member sex field too wide.\n"
              "Error: Member A123      , member sex \t not recognized.\n"
              "Error: Member A123      , trouble reading marital status field: M\n"
              "Error: Member A123      , marital status X not recognized.\n");
    EXPECT_EQ(errorCount, 6);
}

TEST_F(MemberParserTest, TextFieldsKeepTheirWidths) {
    ASSERT_TRUE(parseWith(1, "ABCDEFGHIJKLMNOPQRST")); // 20 characters, 10 kept
    EXPECT_STREQ(member.memberNumber, "ABCDEFGHIJ");
    ASSERT_TRUE(parseWith(2, "ABCDE"));
    EXPECT_STREQ(member.statusCode, "ABCDE");

    // Too wide: the new value is already set when the message is written.
    EXPECT_FALSE(parseWith(1, "ZYXWVUTSRQPONMLKJIHGF"));
    EXPECT_STREQ(member.memberNumber, "ZYXWVUTSRQ");
    EXPECT_FALSE(parseWith(2, "ABCDEF"));
    EXPECT_STREQ(member.statusCode, "ABCDE");
    EXPECT_EQ(takeLog(),
              "Error: Member ZYXWVUTSRQ, member number field too wide.\n"
              "Error: Member A123      , member status field too wide.\n");

    // A field error abandons the line: later columns are not read.
    std::vector<std::string> fields = exampleFields();
    fields[0] = "N9";
    fields[2] = "130";
    EXPECT_FALSE(parse(joined(fields)));
    EXPECT_STREQ(member.memberNumber, "N9        ");
    EXPECT_EQ(member.age, 130);
    EXPECT_EQ(member.sex, 'U');
    EXPECT_EQ(member.annualSalary, 0);
}

TEST_F(MemberParserTest, LastFieldWithoutItsDelimiter) {
    EXPECT_FALSE(parse("A1\tA\t45\n"));
    EXPECT_FALSE(parse("A1\tA\t45\tM\t100\n"));
    EXPECT_EQ(takeLog(),
              "Error: Member A1        , member age field too wide.\n"
              "Error: Member A1        , problem reading annual salary field.\n");
    // An unassigned last column simply ends the line.
    columnMap[3] = 0;
    ASSERT_TRUE(parse("A2\tA\t45\n"));
    EXPECT_STREQ(member.memberNumber, "A2        ");
    EXPECT_EQ(member.age, 0);
    EXPECT_EQ(errorCount, 2);
}

// Found by fuzzing: a line that ended inside the member number or status
// copied its line feed into them, and a service field that ended on the line
// feed printed it, so one line read gave two listing or log lines.
TEST_F(MemberParserTest, LineFeedNeverEntersATextOrAMessage) {
    columnMap[1] = 3;
    columnMap[3] = 1;
    EXPECT_FALSE(parse("45\tA\tN77\n")); // the line ends inside the member number
    EXPECT_STREQ(member.memberNumber, "N77       ");
    columnMap[1] = 1;
    columnMap[3] = 3;
    EXPECT_FALSE(parse("N78\tS1\n")); // and inside the status
    EXPECT_STREQ(member.statusCode, "S1   ");
    EXPECT_FALSE(parse("N79\tA\t45\tM\t30000.50\t520.00\n")); // service without its delimiter
    EXPECT_EQ(takeLog(),
              "Error: Member N77       , member number field too wide.\n"
              "Error: Member N78       , member status field too wide.\n"
              "Error: Member N79       , problem reading 'service with inflation guarantee'  .\n");
    EXPECT_EQ(errorCount, 3);
}

TEST_F(MemberParserTest, UnassignedColumnsAreAtMostTenWide) {
    columnMap[1] = 2;
    columnMap[3] = 3;
    for (int16_t code = 2; code <= 14; ++code) {
        if (code != 3) columnMap[code] = 0;
    }
    // Column 1 unassigned: 10 characters passed, the 11th stepped over.
    ASSERT_TRUE(parse("0123456789XK7\t45\t\n"));
    EXPECT_STREQ(member.memberNumber, "K7        ");
    EXPECT_EQ(member.age, 45);
    // A "!" inside an unassigned column ends the line's data.
    ASSERT_TRUE(parse("ab!cd\tK8\t45\t\n"));
    EXPECT_STREQ(member.memberNumber, "K7        ");
    EXPECT_EQ(member.age, 0);
    EXPECT_EQ(errorCount, 0);
}

TEST_F(MemberParserTest, ColumnsBeyondTheMapAndTheBufferEnd) {
    for (int16_t code = 1; code <= 14; ++code) columnMap[code] = 0;
    columnMap[1] = 20;
    // Column 20 read as the member number, columns 21..50 passed as unassigned.
    std::string text;
    for (int column = 1; column <= 19; ++column) text += "c\t";
    text += "M20\t" + std::string(30, 'x') + "\t\n";
    ASSERT_TRUE(parse(text));
    EXPECT_STREQ(member.memberNumber, "M20       ");

    // A split line of 499 bytes without delimiter: the walk of 50 columns
    // of 11 bytes meets the end of the buffer, which reads as "!".
    columnMap[1] = 0;
    ASSERT_TRUE(parse(std::string(499, 'x')));
    EXPECT_EQ(errorCount, 0);
}

TEST_F(MemberParserTest, NulBytesAreData) {
    // A NUL in the member number ends it as a text, yet the field is 10 wide.
    ASSERT_TRUE(parse(std::string("A\0B\tA\t45\tM\t\n", 13)));
    EXPECT_EQ(std::memcmp(member.memberNumber, "A\0B       ", 11), 0);
    EXPECT_EQ(member.age, 45);
    // In an integer a NUL is a digit of -48.
    EXPECT_FALSE(parseWith(3, std::string("2\0", 2)));
    EXPECT_EQ(member.age, -28);
    EXPECT_EQ(takeLog(), "Error: Member A123      , member age -28 outside allowable range.\n");
}

TEST_F(MemberParserTest, LayoutErrorIsCountedButDoesNotAbandonTheLine) {
    columnMap[15] = 2; // column 2 holds the status and an unknown code: the status wins
    columnMap[2] = 0;
    // Column 2 is the unknown code: reported, and column 3 starts on the same text.
    ASSERT_TRUE(parse("L1\t45\tM\t\n"));
    EXPECT_EQ(member.age, 45);
    EXPECT_EQ(member.sex, 'M');
    EXPECT_EQ(errorCount, 1);
    EXPECT_EQ(takeLog(), "Error: Member L1        , problem with data file layout.\n");

    columnMap[2] = 2;
    ASSERT_TRUE(parse("L2\tS\t45\tM\t\n"));
    EXPECT_STREQ(member.statusCode, "S    ");
    EXPECT_EQ(errorCount, 1);
}

TEST_F(MemberParserTest, SharedColumnGoesToTheSmallerCode) {
    columnMap[5] = 3; // age and annual salary both in column 3
    ASSERT_TRUE(parse("A1\tA\t45\tM\t\n"));
    EXPECT_EQ(member.age, 45);
    EXPECT_EQ(member.annualSalary, 0);
}

TEST_F(MemberParserTest, ResetKeepsNumberAndStatus) {
    ASSERT_TRUE(parse(joined(exampleFields())));
    member.bridgePension = 5;
    member.yearsRetired = 3;
    resetMemberRecord(member);
    EXPECT_STREQ(member.memberNumber, "A123      ");
    EXPECT_STREQ(member.statusCode, "A    ");
    EXPECT_EQ(member.sex, 'U');
    EXPECT_EQ(member.maritalStatus, '?');
    EXPECT_EQ(member.annualSalary, 0);
    EXPECT_EQ(member.bridgePension, 0);
    EXPECT_EQ(member.yearsRetired, 0);
}

} // namespace
