#include "member_records.h"

#include <cstring>

#include "library_reading.h"

namespace {

// The field is written in place in the list: a field put together on the
// stack and then copied in costs a stall (its parts stored apart, read back
// as one) on every field of the file.
inline void addField(SourceRecord &record, const char *text, int32_t length, int32_t start, bool ended) {
    FieldText &field = record.fields.emplace_back();
    field.text = text;
    field.length = length;
    field.start = static_cast<int16_t>(start);
    field.ended = ended;
}

// Library layout: the fields of a line, each ending at the delimiter; text
// after the last delimiter is a field without one.
void splitLibraryFields(SourceRecord &record, char delimiter) {
    record.fields.clear();
    int32_t start = 0;
    for (int32_t i = 0; i < record.length; ++i) {
        if (record.bytes[i] != delimiter) continue;
        addField(record, record.bytes + start, i - start, start, true);
        start = i + 1;
    }
    if (start < record.length) {
        addField(record, record.bytes + start, record.length - start, start, false);
    }
}

bool nextLibraryLine(RecordReader &reader, SourceRecord &record) {
    if (reader.position >= reader.size) return false;
    const char *begin = reader.bytes + reader.position;
    const int64_t left = reader.size - reader.position;
    const void *found = std::memchr(begin, '\n', static_cast<size_t>(left));
    const bool lineFeed = found != nullptr;
    const int64_t lineEnd = lineFeed ? static_cast<const char *>(found) - begin : left;
    // "\r\n" becomes "\n" before the length limit applies
    const int64_t content = lineFeed && lineEnd > 0 && begin[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
    record.line = reader.line;
    record.bytes = begin;
    if (content + (lineFeed ? 1 : 0) > kLibraryLineBytes) {
        // a line the valuation reads in pieces: 499 bytes, then the rest
        record.length = kLibraryLineBytes;
        record.lineFeed = false;
        record.piece = true;
        reader.position += kLibraryLineBytes;
    } else {
        record.length = static_cast<int32_t>(content);
        record.lineFeed = lineFeed;
        record.piece = false;
        reader.position += lineFeed ? lineEnd + 1 : lineEnd;
        reader.line += 1;
    }
    record.carriageReturn = std::memchr(record.bytes, '\r', static_cast<size_t>(record.length)) != nullptr;
    record.blank = record.length == 0;
    record.quoteProblemColumn = 0;
    record.lineBreakColumn = 0;
    splitLibraryFields(record, reader.delimiter);
    return true;
}

inline bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Steps over one line end (LF, CRLF or CR alone) at the position.
void passLineEnd(RecordReader &reader) {
    if (reader.bytes[reader.position] == '\r' && reader.position + 1 < reader.size &&
        reader.bytes[reader.position + 1] == '\n') {
        ++reader.position;
    }
    ++reader.position;
    ++reader.line;
}

// A quoted field from just after its opening quote: its text up to the
// closing quote, a doubled quote standing for one. Line ends inside are
// text (and counted as lines of the file).
void readQuotedField(RecordReader &reader, SourceRecord &record, FieldText &field, int32_t column) {
    const char *bytes = reader.bytes;
    const int64_t first = reader.position;
    bool copied = false; // a doubled quote: the text is kept in record.unquoted
    size_t copyStart = 0;
    while (true) {
        if (reader.position >= reader.size) {
            record.quoteProblemColumn = column; // the quote is never closed
            break;
        }
        const char c = bytes[reader.position];
        if (c == '"') {
            if (reader.position + 1 < reader.size && bytes[reader.position + 1] == '"') {
                if (!copied) {
                    copied = true;
                    copyStart = record.unquoted.size();
                    record.unquoted.append(bytes + first, static_cast<size_t>(reader.position - first));
                }
                record.unquoted.push_back('"');
                reader.position += 2;
                continue;
            }
            ++reader.position; // the closing quote
            break;
        }
        if (isLineEnd(c)) {
            if (record.lineBreakColumn == 0) record.lineBreakColumn = column;
            if (c == '\r' && reader.position + 1 < reader.size && bytes[reader.position + 1] == '\n') {
                if (copied) record.unquoted.push_back('\r');
                ++reader.position;
            }
            if (copied) record.unquoted.push_back(bytes[reader.position]);
            ++reader.position;
            ++reader.line;
            continue;
        }
        if (copied) record.unquoted.push_back(c);
        ++reader.position;
    }
    field.quoted = true;
    if (copied) {
        // the text's place in record.unquoted; resolved to a pointer when the record is complete
        field.text = nullptr;
        record.unquotedAt.push_back(copyStart);
        field.length = static_cast<int32_t>(record.unquoted.size() - copyStart);
    } else {
        const int64_t closing = reader.position - (record.quoteProblemColumn == column ? 0 : 1);
        field.text = bytes + first;
        field.length = static_cast<int32_t>(closing - first);
    }
    // after the closing quote: the delimiter, the line end or the end of the file
    if (reader.position < reader.size && bytes[reader.position] != reader.delimiter &&
        !isLineEnd(bytes[reader.position])) {
        record.quoteProblemColumn = column;
        while (reader.position < reader.size && bytes[reader.position] != reader.delimiter &&
               !isLineEnd(bytes[reader.position])) {
            ++reader.position;
        }
    }
}

bool blankText(const FieldText &field) {
    for (int32_t i = 0; i < field.length; ++i) {
        if (field.text[i] != ' ') return false;
    }
    return true;
}

bool nextSpreadsheetRecord(RecordReader &reader, SourceRecord &record) {
    if (reader.position >= reader.size) return false;
    record.line = reader.line;
    record.bytes = reader.bytes + reader.position;
    record.lineFeed = true;
    record.piece = false;
    record.carriageReturn = false;
    record.quoteProblemColumn = 0;
    record.lineBreakColumn = 0;
    record.fields.clear();
    record.unquoted.clear();
    record.unquotedAt.clear();
    const char *bytes = reader.bytes;
    const int64_t start = reader.position;
    int64_t end = start;
    while (true) {
        if (reader.position < reader.size && bytes[reader.position] == '"') {
            FieldText field;
            ++reader.position;
            readQuotedField(reader, record, field, static_cast<int32_t>(record.fields.size()) + 1);
            record.fields.push_back(field);
        } else {
            // a local cursor: the reader's own would be stored at every byte (the bytes may alias it)
            const char *first = bytes + reader.position;
            const char *last = bytes + reader.size;
            const char delimiter = reader.delimiter;
            const char *c = first;
            while (c < last && *c != delimiter && !isLineEnd(*c)) ++c;
            reader.position = c - bytes;
            addField(record, first, static_cast<int32_t>(c - first), 0, true);
        }
        if (reader.position < reader.size && bytes[reader.position] == reader.delimiter) {
            ++reader.position;
            continue;
        }
        end = reader.position;
        if (reader.position < reader.size) passLineEnd(reader);
        break;
    }
    record.length = static_cast<int32_t>(end - start);
    record.blank = true;
    size_t copies = 0;
    for (FieldText &field : record.fields) {
        if (field.text == nullptr) field.text = record.unquoted.data() + record.unquotedAt[copies++];
        if (!blankText(field)) record.blank = false;
    }
    return true;
}

} // namespace

bool startsWithByteOrderMark(const char *bytes, int64_t size) {
    return size >= kByteOrderMarkBytes && static_cast<unsigned char>(bytes[0]) == 0xEF &&
           static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
}

RecordReader openRecords(const char *bytes, int64_t size, bool spreadsheet, char delimiter) {
    RecordReader reader{bytes, size, 0, 1, spreadsheet, delimiter};
    if (spreadsheet && startsWithByteOrderMark(bytes, size)) reader.position = kByteOrderMarkBytes;
    return reader;
}

bool nextRecord(RecordReader &reader, SourceRecord &record) {
    return reader.spreadsheet ? nextSpreadsheetRecord(reader, record) : nextLibraryLine(reader, record);
}
