// The member file cut into records and fields, in one of two ways:
// - the library's layout: a line ends at a line feed (a carriage return
//   before it is dropped), a line of more than 498 characters is read as
//   pieces of 499 bytes, and fields end at the delimiter, as the valuation
//   reads the file;
// - a spreadsheet's: a UTF-8 byte-order mark at the start is dropped, lines
//   end with LF, CRLF or CR alone, fields may stand in double quotes (a
//   doubled quote inside standing for one), and the last field needs no
//   delimiter after it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 16 bytes, so that the fields of a line are cheap to step through.
struct FieldText {
    const char *text = nullptr;
    int32_t length = 0;
    int16_t start = 0;    // library layout: position in the line, at most 499 (spreadsheet: 0)
    bool quoted = false;  // spreadsheet: the field stood in quotes
    bool ended = true;    // library layout: a delimiter follows the field
};

struct SourceRecord {
    int64_t line = 0;          // line of the file where the record starts, from 1
    const char *bytes = nullptr; // the record's text without its line end
    int32_t length = 0;
    bool lineFeed = true;      // library layout: the line ends in a line feed
    bool piece = false;        // library layout: a piece of a line longer than the valuation reads at once
    bool carriageReturn = false; // library layout: a carriage return inside the line
    bool blank = false;        // no text at all (spreadsheet: only empty fields and blanks)
    int32_t quoteProblemColumn = 0; // spreadsheet: text after a closing quote, or a quote left open, in this column
    int32_t lineBreakColumn = 0;    // spreadsheet: a quoted field holding a line end, in this column
    std::vector<FieldText> fields;
    std::string unquoted;      // spreadsheet: the text of quoted fields that held doubled quotes
    std::vector<size_t> unquotedAt; // spreadsheet, while the record is read: where each such text starts
};

struct RecordReader {
    const char *bytes;
    int64_t size;
    int64_t position;
    int64_t line;        // line of the next record
    bool spreadsheet;
    char delimiter;
};

constexpr int32_t kByteOrderMarkBytes = 3; // EF BB BF

bool startsWithByteOrderMark(const char *bytes, int64_t size);

// A reader at the start of the bytes; in a spreadsheet's layout after a
// byte-order mark.
RecordReader openRecords(const char *bytes, int64_t size, bool spreadsheet, char delimiter);

// The next record; false at the end of the bytes.
bool nextRecord(RecordReader &reader, SourceRecord &record);
