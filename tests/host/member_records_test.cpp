// Cutting a member file into records and fields, in the library's layout
// and in a spreadsheet's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "member_records.h"

namespace {

struct Cut {
    int64_t line;
    std::vector<std::string> fields;
    bool lineFeed;
    bool piece;
    bool blank;
    int32_t quoteProblemColumn;
};

std::vector<Cut> cut(const std::string &bytes, bool spreadsheet, char delimiter = ',') {
    RecordReader reader = openRecords(bytes.data(), static_cast<int64_t>(bytes.size()), spreadsheet, delimiter);
    SourceRecord record;
    std::vector<Cut> cuts;
    while (nextRecord(reader, record)) {
        Cut c{record.line, {}, record.lineFeed, record.piece, record.blank, record.quoteProblemColumn};
        for (const FieldText &field : record.fields) c.fields.emplace_back(field.text, field.length);
        cuts.push_back(c);
    }
    return cuts;
}

using Fields = std::vector<std::string>;

} // namespace

TEST(LibraryLines, EndAtLineFeedsWithTheCarriageReturnBeforeOneDropped) {
    const auto cuts = cut("A,1,\r\nB,2,\n\nC,3,", false);
    ASSERT_EQ(cuts.size(), 4u);
    EXPECT_EQ(cuts[0].fields, (Fields{"A", "1"}));
    EXPECT_EQ(cuts[1].fields, (Fields{"B", "2"}));
    EXPECT_TRUE(cuts[2].blank); // a line feed alone: the valuation reads an empty line
    EXPECT_EQ(cuts[2].line, 3);
    EXPECT_EQ(cuts[3].fields, (Fields{"C", "3"}));
    EXPECT_FALSE(cuts[3].lineFeed); // the file's last line has none
    EXPECT_TRUE(cuts[0].lineFeed);
}

TEST(LibraryLines, TextAfterTheLastDelimiterIsAFieldWithoutOne) {
    RecordReader reader = openRecords("A,B,45\n", 7, false, ',');
    SourceRecord record;
    ASSERT_TRUE(nextRecord(reader, record));
    ASSERT_EQ(record.fields.size(), 3u);
    EXPECT_TRUE(record.fields[1].ended);
    EXPECT_FALSE(record.fields[2].ended);
    EXPECT_EQ(record.fields[2].start, 4);
}

TEST(LibraryLines, ALineLongerThanTheValuationReadsComesInPiecesOf499Bytes) {
    // 600 characters and a line feed: 499, then 101 with the line feed, as one line of the file
    const auto cuts = cut(std::string(600, 'x').append("\nA,\n"), false);
    ASSERT_EQ(cuts.size(), 3u);
    EXPECT_TRUE(cuts[0].piece);
    EXPECT_EQ(cuts[0].fields[0].size(), 499u);
    EXPECT_FALSE(cuts[1].piece);
    EXPECT_EQ(cuts[1].fields[0].size(), 101u);
    EXPECT_EQ(cuts[0].line, 1);
    EXPECT_EQ(cuts[1].line, 1);
    EXPECT_EQ(cuts[2].line, 2);
    // 498 characters and the line feed fit; 499 leave the line feed for an empty line after them
    EXPECT_EQ(cut(std::string(498, 'x').append("\n"), false).size(), 1u);
    const auto exact = cut(std::string(499, 'x').append("\n"), false);
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_TRUE(exact[1].blank);
    // the carriage return of "\r\n" does not count against the limit
    EXPECT_EQ(cut(std::string(498, 'x').append("\r\n"), false).size(), 1u);
}

TEST(LibraryLines, ACarriageReturnAloneIsNoLineEnd) {
    const auto cuts = cut("A,1,\rB,2,\r", false);
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0].fields, (Fields{"A", "1", "\rB", "2", "\r"}));
}

TEST(SpreadsheetRecords, EveryKindOfLineEndEndsARecord) {
    const auto cuts = cut("A,1\rB,2\r\nC,3\nD,4", true);
    ASSERT_EQ(cuts.size(), 4u);
    EXPECT_EQ(cuts[0].fields, (Fields{"A", "1"}));
    EXPECT_EQ(cuts[1].fields, (Fields{"B", "2"}));
    EXPECT_EQ(cuts[2].fields, (Fields{"C", "3"}));
    EXPECT_EQ(cuts[3].fields, (Fields{"D", "4"}));
    EXPECT_EQ(cuts[3].line, 4);
}

TEST(SpreadsheetRecords, QuotedFieldsLoseTheirQuotesAndDoubledQuotesStandForOne) {
    const auto cuts = cut("\"M1\",\"P\",\"70\",\"say \"\"hi\"\"\",\"\"\n", true);
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(cuts[0].fields, (Fields{"M1", "P", "70", "say \"hi\"", ""}));
    EXPECT_EQ(cuts[0].quoteProblemColumn, 0);
    // a delimiter inside quotes is text
    EXPECT_EQ(cut("\"1,5\",2\n", true)[0].fields, (Fields{"1,5", "2"}));
}

TEST(SpreadsheetRecords, ALineBreakInsideQuotesKeepsTheRecordTogetherAndCountsAsALine) {
    RecordReader reader = openRecords("\"a\r\nb\",1\nc,2\n", 14, true, ',');
    SourceRecord record;
    ASSERT_TRUE(nextRecord(reader, record));
    EXPECT_EQ(record.lineBreakColumn, 1);
    EXPECT_EQ(std::string(record.fields[0].text, record.fields[0].length), "a\r\nb");
    ASSERT_TRUE(nextRecord(reader, record));
    EXPECT_EQ(record.line, 3);
    EXPECT_EQ(std::string(record.fields[0].text, record.fields[0].length), "c");
}

TEST(SpreadsheetRecords, AQuoteLeftOpenOrTextAfterAClosingQuoteIsMarked) {
    EXPECT_EQ(cut("a,\"b\"c,d\n", true)[0].quoteProblemColumn, 2);
    EXPECT_EQ(cut("a,\"b,d\n", true)[0].quoteProblemColumn, 2);
    EXPECT_EQ(cut("a,b\"c,d\n", true)[0].quoteProblemColumn, 0); // a quote inside unquoted text is text
}

TEST(SpreadsheetRecords, BlankLinesAndLinesOfEmptyFieldsAreBlank) {
    const auto cuts = cut("A,1\n\n,,,\n \n\"\",\"\"\r\nB,2\n\n", true);
    ASSERT_EQ(cuts.size(), 7u); // the last line feed ends B,2; the one after it ends an empty line
    EXPECT_FALSE(cuts[0].blank);
    EXPECT_TRUE(cuts[1].blank);
    EXPECT_TRUE(cuts[2].blank);
    EXPECT_TRUE(cuts[3].blank);
    EXPECT_TRUE(cuts[4].blank);
    EXPECT_FALSE(cuts[5].blank);
    EXPECT_TRUE(cuts[6].blank);
}

TEST(SpreadsheetRecords, AByteOrderMarkAtTheStartIsDropped) {
    const std::string bytes = "\xEF\xBB\xBFM1;A\n";
    EXPECT_TRUE(startsWithByteOrderMark(bytes.data(), static_cast<int64_t>(bytes.size())));
    EXPECT_EQ(cut(bytes, true, ';')[0].fields, (Fields{"M1", "A"}));
    // the library's layout keeps it, as the valuation does
    EXPECT_EQ(cut(bytes, false, ';')[0].fields[0], "\xEF\xBB\xBFM1");
}
