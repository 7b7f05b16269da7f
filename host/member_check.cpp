#include "member_check.h"

#include <algorithm>
#include <cstring>

#include "basis_file.h"
#include "field_check.h"
#include "library_reading.h"
#include "member_file_basis.h"
#include "member_numbers.h"
#include "member_records.h"
#include "plausibility.h"

namespace {

constexpr int32_t kHeaderLikeFields = 2;   // number fields holding words that make line 1 a header row
constexpr size_t kShownLineText = 60;      // characters of a line shown for a problem of the whole line
constexpr int32_t kMostConvertedLine = kLibraryLineBytes - 1; // characters before the line feed
constexpr int32_t kAmountRoom = 4;         // an amount's decimals may be read a few places past the limit

const char *delimiterName(char delimiter) {
    switch (delimiter) {
    case '\t': return "tab";
    case ',': return "comma";
    case ';': return "semicolon";
    case ' ': return "space";
    case '|': return "vertical bar";
    default: return "the digit 0";
    }
}

struct CheckRun {
    const PlanBasis &basis;
    MemberCheck &check;
    char delimiter = ',';
    bool spreadsheet = false;
    bool convert = false;                 // the engine reads converted lines
    std::array<int32_t, kMemberFields + 1> sourceColumn{}; // each field's column in the file, 0 none
    std::vector<int32_t> order{};         // the fields in the order of their columns
    int32_t lastMappedColumn = 0;
    LibraryLayout layout{};
    PlausibilityLimits limits{};
    LibraryStatusTable statuses{};
    LibraryMember member{};               // as the valuation carries it from line to line
    LibraryMember scratch{};              // a field read on its own
    MemberNumberIndex numbers{};
    int32_t fieldStart[kMemberFields + 1] = {}; // each field's position in the line the engine reads
    bool firstDataLine = true;
    int64_t longLine = 0;                 // the line read in pieces, if the last record was one
    bool lineHasError = false;
};

// --- findings -----------------------------------------------------------

const FieldText *fieldOf(const CheckRun &run, const SourceRecord &record, int32_t field) {
    const int32_t column = run.sourceColumn[field];
    if (column == 0 || column > static_cast<int32_t>(record.fields.size())) return nullptr;
    return &record.fields[static_cast<size_t>(column - 1)];
}

std::string memberOf(const CheckRun &run, const SourceRecord &record) {
    if (const FieldText *number = fieldOf(run, record, MemberNumberField)) return std::string(number->text, number->length);
    std::string carried = run.member.memberNumber;
    while (!carried.empty() && carried.back() == ' ') carried.pop_back();
    return carried;
}

void addProblem(CheckRun &run, const SourceRecord &record, CheckRule rule, int32_t column, int32_t field,
                std::string text, std::string detail) {
    const RuleInfo &info = ruleInfo(rule);
    run.check.summary.findings[rule] += 1;
    if (!info.warning) {
        run.check.hasErrors = true;
        run.check.hasUnacceptableErrors = run.check.hasUnacceptableErrors || !info.acceptable;
        run.lineHasError = true;
    }
    run.check.problems.push_back(
        CheckProblem{record.line, column, field, rule, memberOf(run, record), std::move(text), std::move(detail)});
}

std::string lineText(const SourceRecord &record) {
    return std::string(record.bytes, std::min<size_t>(size_t(record.length), kShownLineText));
}

void addLineProblem(CheckRun &run, const SourceRecord &record, CheckRule rule, std::string detail) {
    addProblem(run, record, rule, 0, 0, lineText(record), std::move(detail));
}

// --- columns --------------------------------------------------------------

// The columns of the fields: as the basis numbers them, or found by name in
// the header row. False when a named column is missing or ambiguous.
bool resolveColumns(CheckRun &run, const std::vector<std::string> *names, const SourceRecord &where) {
    run.sourceColumn = run.basis.fieldColumn;
    bool ok = true;
    for (int32_t field = 1; field <= kMemberFields; ++field) {
        const std::string &name = run.basis.fieldHeader[field];
        if (name.empty()) continue;
        int32_t found = 0;
        int32_t matches = 0;
        const int32_t columns = names == nullptr ? 0 : static_cast<int32_t>(names->size());
        for (int32_t c = 0; c < columns; ++c) {
            if (headerKey((*names)[static_cast<size_t>(c)]) != headerKey(name)) continue;
            found = found == 0 ? c + 1 : found;
            ++matches;
        }
        const std::string key = std::string("member_file.columns.") + kMemberFieldNames[field];
        if (names == nullptr) {
            addProblem(run, where, RuleHeaderColumn, 0, field, name, "the file has no header row to find \"" + name + "\" in");
            ok = false;
        } else if (matches != 1) {
            addProblem(run, where, RuleHeaderColumn, found, field, name,
                       matches == 0 ? "the header row has no column \"" + name + "\" (" + key + ")"
                                    : "the header row names \"" + name + "\" " + std::to_string(matches) + " times (" + key + ")");
            ok = false;
        } else if (!run.spreadsheet && found > kMaxColumn) {
            addProblem(run, where, RuleHeaderColumn, found, field, name,
                       "column " + std::to_string(found) + " is past the 20 columns of the library's layout "
                       "(layout = \"spreadsheet\" reads any column)");
            ok = false;
        }
        run.sourceColumn[field] = found;
    }
    return ok;
}

// The fields in the order of their columns, and where the engine finds them.
void planColumns(CheckRun &run) {
    run.order.clear();
    for (int32_t field = 1; field <= kMemberFields; ++field) {
        if (run.sourceColumn[field] != 0) run.order.push_back(field);
    }
    std::sort(run.order.begin(), run.order.end(),
              [&](int32_t a, int32_t b) { return run.sourceColumn[a] < run.sourceColumn[b]; });
    run.lastMappedColumn = run.order.empty() ? 0 : run.sourceColumn[run.order.back()];
    std::array<int32_t, kMemberFields + 1> engine{};
    if (run.convert) {
        // converted lines hold the fields alone, one after another
        for (size_t i = 0; i < run.order.size(); ++i) engine[run.order[i]] = static_cast<int32_t>(i) + 1;
    } else {
        engine = run.sourceColumn;
    }
    run.check.engineColumns = engine;
    run.layout = makeLibraryLayout(run.delimiter, engine.data());
}

// --- conversion -----------------------------------------------------------

bool holdsLineBreakOrDelimiter(const FieldText &text, char delimiter) {
    for (int32_t i = 0; i < text.length; ++i) {
        const char c = text.text[i];
        if (c == delimiter || c == '\n' || c == '\r') return true;
    }
    return false;
}

// The text of a number without the blanks around it.
void trimBlanks(const char *&text, int32_t &length) {
    while (length > 0 && text[0] == ' ') {
        ++text;
        --length;
    }
    while (length > 0 && text[length - 1] == ' ') --length;
}

// Appends one field as the library reads it: a number without blanks and
// with the decimal point, a text as it is.
void appendConvertedField(CheckRun &run, std::string &out, int32_t field, const FieldText &source) {
    const char *text = source.text;
    int32_t length = source.length;
    if (holdsLineBreakOrDelimiter(source, run.delimiter)) {
        // cannot stand in the library's layout: refused, and left empty here
        length = 0;
    } else if (kindOfField(field) >= WholeKind) {
        trimBlanks(text, length);
    }
    const size_t at = out.size();
    out.append(text, static_cast<size_t>(length));
    if (run.basis.decimalSeparator == ',' && kindOfField(field) >= WholeKind) {
        for (size_t i = at; i < out.size(); ++i) out[i] = out[i] == ',' ? '.' : out[i];
    }
    out.push_back(run.delimiter);
}

// The record as a line of the library's layout at the end of the converted
// bytes; fields past the end of the record stay absent, as they were.
LibraryLine convertRecord(CheckRun &run, const SourceRecord &record) {
    std::string &out = run.check.convertedBytes;
    const size_t lineStart = out.size();
    for (int32_t field : run.order) {
        const FieldText *source = fieldOf(run, record, field);
        if (source == nullptr) break;
        run.fieldStart[field] = static_cast<int32_t>(out.size() - lineStart);
        appendConvertedField(run, out, field, *source);
    }
    const int32_t length = static_cast<int32_t>(out.size() - lineStart);
    out.push_back('\n');
    return LibraryLine{out.data() + lineStart, length, true, run.delimiter};
}

// --- the layout of a line ---------------------------------------------------

char mostFrequentOtherDelimiter(const SourceRecord &record, char delimiter, int32_t &count) {
    const char candidates[] = {'\t', ',', ';', '|', ' '};
    char best = 0;
    count = 0;
    for (char c : candidates) {
        if (c == delimiter) continue;
        const int32_t n = static_cast<int32_t>(std::count(record.bytes, record.bytes + record.length, c));
        if (n > count) {
            best = c;
            count = n;
        }
    }
    return best;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Line 1 with words where numbers belong, and no digit in them.
bool looksLikeHeader(const CheckRun &run, const SourceRecord &record) {
    int32_t words = 0;
    for (int32_t field : run.order) {
        const FieldText *text = fieldOf(run, record, field);
        if (text == nullptr || kindOfField(field) < WholeKind) continue;
        const char *end = text->text + text->length;
        const bool letters = std::any_of(text->text, end, isLetter);
        const bool digits = std::any_of(text->text, end, [](char c) { return c >= '0' && c <= '9'; });
        words += letters && !digits ? 1 : 0;
    }
    return words >= kHeaderLikeFields;
}

void reportNoDelimiter(CheckRun &run, const SourceRecord &record) {
    int32_t count = 0;
    const char other = mostFrequentOtherDelimiter(record, run.delimiter, count);
    std::string detail = std::string("the line holds no ") + delimiterName(run.delimiter) + " (member_file.delimiter)";
    if (count > 0) {
        detail += std::string(" but ") + std::to_string(count) + " of the " + delimiterName(other) +
                   ": is the delimiter \"" + delimiterName(other) + "\"?";
    }
    addLineProblem(run, record, RuleNoDelimiter, detail + "; the valuation would read the whole line as its first field");
}

// Problems of the library's layout that concern the whole line. False when
// the fields are not worth checking one by one.
bool checkLibraryLine(CheckRun &run, const SourceRecord &record) {
    if (record.piece && record.line != run.longLine) {
        run.longLine = record.line;
        addLineProblem(run, record, RuleLineTooLong,
                       "a line of more than 498 characters: the valuation reads 499 bytes at a time and values "
                       "the rest as further lines");
    }
    if (record.line == run.longLine) return false;
    if (record.blank) {
        addLineProblem(run, record, RuleBlankLine,
                       "a blank line: the valuation values it as a member with the number and status of the line "
                       "before (layout = \"spreadsheet\" skips blank lines)");
        return false;
    }
    if (record.carriageReturn) {
        addLineProblem(run, record, RuleCarriageReturn,
                       "a carriage return alone: the valuation does not end a line there but reads it as a "
                       "character (layout = \"spreadsheet\" reads CR line ends)");
        return false;
    }
    if (!record.lineFeed && static_cast<int32_t>(record.fields.size()) < run.lastMappedColumn) {
        addLineProblem(run, record, RuleLastLineEnd,
                       "the last line has no line feed and ends before column " + std::to_string(run.lastMappedColumn) +
                           ": the valuation reads the end of the file as field text");
    }
    return true;
}

bool checkSpreadsheetRecord(CheckRun &run, const SourceRecord &record) {
    if (record.quoteProblemColumn != 0) {
        addProblem(run, record, RuleQuote, record.quoteProblemColumn, 0, lineText(record),
                   "a quote left open, or text after a closing quote, in column " +
                       std::to_string(record.quoteProblemColumn));
        return false;
    }
    return true;
}

bool checkLineLayout(CheckRun &run, const SourceRecord &record) {
    if (!(run.spreadsheet ? checkSpreadsheetRecord(run, record) : checkLibraryLine(run, record))) return false;
    if (record.fields.size() == 1 && record.length > 0 && run.lastMappedColumn > 1) {
        reportNoDelimiter(run, record);
        return false;
    }
    if (run.firstDataLine && !run.basis.headerRow && looksLikeHeader(run, record)) {
        addLineProblem(run, record, RuleHeaderRow,
                       "the line names columns but member_file.header is false: the valuation would read it as a member");
        return false;
    }
    return true;
}

// --- the fields -------------------------------------------------------------

// What the valuation makes of a field read on its own at its place in the line.
std::string readingOf(const LibraryLine &line, int32_t position, int32_t field) {
    LibraryMember alone;
    const FieldReading reading = readLibraryField(line, position, field, alone);
    if (reading.rejection != NotRejected) {
        return std::string("the valuation would reject the line (") + rejectionText(reading.rejection) + ")";
    }
    char value[64];
    formatFieldValue(alone, field, value, sizeof value);
    return std::string("the valuation would read ") + value;
}

std::string textOf(const FieldText &field) { return std::string(field.text, static_cast<size_t>(field.length)); }

// The checks every field shares: quotes and the final delimiter in the
// library's layout, the delimiter or a line end inside quotes in a
// spreadsheet's. False when the field has a problem of this kind.
bool checkFieldForm(CheckRun &run, const SourceRecord &record, int32_t field, const FieldText &source) {
    const int32_t column = run.sourceColumn[field];
    if (run.spreadsheet) {
        if (!holdsLineBreakOrDelimiter(source, run.delimiter)) return true;
        addProblem(run, record, RuleDelimiterInField, column, field, textOf(source),
                   "the field holds the delimiter or a line end, which a line of the library's layout cannot hold");
        return false;
    }
    if (source.length > 0 && source.text[0] == '"') {
        addProblem(run, record, RuleQuoted, column, field, textOf(source),
                   "a field in quotes: the valuation reads the quotes as characters "
                   "(layout = \"spreadsheet\" reads quoted fields)");
        return false;
    }
    if (!source.ended) {
        addProblem(run, record, RuleNoFinalDelimiter, column, field, textOf(source),
                   "no delimiter after the last field: the valuation rejects the line or misreads the field "
                   "(layout = \"spreadsheet\" reads lines without one)");
        return false;
    }
    return true;
}

void checkNumberField(CheckRun &run, const SourceRecord &record, const LibraryLine &line, int32_t field,
                      const FieldText &source) {
    const char *text = source.text;
    int32_t length = source.length;
    if (run.spreadsheet) trimBlanks(text, length);
    // an empty field (or blanks alone) keeps the field's default
    if (std::all_of(text, text + length, [](char c) { return c == ' '; })) return;
    const int32_t decimals = decimalsOfField(field);
    const int32_t position = run.convert ? run.fieldStart[field] : source.start;
    const FieldVerdict verdict = checkNumberText(text, length, decimals, run.basis.decimalSeparator);
    if (!verdict.ok) {
        addProblem(run, record, verdict.rule, run.sourceColumn[field], field, textOf(source),
                   describeVerdict(verdict, decimals, 0) + "; " + readingOf(line, position, field));
        return;
    }
    // a plain number whose delimiter stands past the valuation's room for numbers
    if (position + length >= kNumericPositionLimit - kAmountRoom &&
        readLibraryField(line, position, field, run.scratch).rejection != NotRejected) {
        addProblem(run, record, RuleTooWide, run.sourceColumn[field], field, textOf(source),
                   "the number ends past position 195 of the line, where the valuation stops reading numbers; " +
                       readingOf(line, position, field));
    }
}

void checkTextField(CheckRun &run, const SourceRecord &record, int32_t field, const FieldText &source) {
    const int32_t width = field == MemberNumberField ? kMemberNumberWidth : field == StatusField ? kStatusWidth : 1;
    const FieldVerdict verdict = checkTextWidth(source.length, width);
    if (verdict.ok) return;
    addProblem(run, record, RuleTooWide, run.sourceColumn[field], field, textOf(source),
               describeVerdict(verdict, 0, width) + "; the valuation would reject the line");
}

void checkFields(CheckRun &run, const SourceRecord &record, const LibraryLine &line) {
    for (int32_t field : run.order) {
        const FieldText *source = fieldOf(run, record, field);
        if (source == nullptr) break; // the line ends before the field: its default
        if (!checkFieldForm(run, record, field, *source)) continue;
        if (kindOfField(field) >= WholeKind) checkNumberField(run, record, line, field, *source);
        else checkTextField(run, record, field, *source);
    }
}

// Library layout: a column without a field is passed 10 characters at most,
// and "!" in it (after its first character) ends the line's data; either
// misreads the fields after it.
void checkUnusedColumns(CheckRun &run, const SourceRecord &record) {
    const int32_t columns = std::min(static_cast<int32_t>(record.fields.size()), run.lastMappedColumn - 1);
    for (int32_t column = 1; column <= columns; ++column) {
        if (column <= kMaxColumn && run.layout.fieldInColumn[column] != NoField) continue;
        const FieldText &text = record.fields[static_cast<size_t>(column - 1)];
        if (text.length > kUnusedColumnWidth) {
            addProblem(run, record, RuleUnusedColumnTooWide, column, 0, textOf(text),
                       "a column without a field, " + std::to_string(text.length) +
                           " characters wide: the valuation passes 10 and reads the rest as the next column");
            continue;
        }
        const int32_t watched = std::min(text.length, kUnusedColumnWidth);
        if (std::find(text.text + std::min(1, watched), text.text + watched, '!') != text.text + watched) {
            addProblem(run, record, RuleUnusedColumnStop, column, 0, textOf(text),
                       "\"!\" in a column without a field: the valuation stops reading the line there");
        }
    }
}

// --- the member as the valuation reads it -----------------------------------

void addWarnings(CheckRun &run, const SourceRecord &record, int32_t status) {
    MemberWarning warnings[kMostWarningsPerMember];
    const int32_t count = plausibilityWarnings(run.member, status, run.limits, warnings);
    for (int32_t i = 0; i < count; ++i) {
        const FieldText *text = fieldOf(run, record, warnings[i].field);
        addProblem(run, record, warnings[i].rule, run.sourceColumn[warnings[i].field], warnings[i].field,
                   text != nullptr ? textOf(*text) : std::string(), warnings[i].detail);
    }
}

void checkMemberNumber(CheckRun &run, const SourceRecord &record) {
    const FieldText *number = fieldOf(run, record, MemberNumberField);
    if (number == nullptr || std::all_of(number->text, number->text + number->length, [](char c) { return c == ' '; })) {
        return;
    }
    // the file's bytes outlive the check; an unquoted copy does not
    const char *copies = record.unquoted.data();
    const bool stable = number->text < copies || number->text >= copies + record.unquoted.size();
    const NumberSeen seen = recordMemberNumber(run.numbers, std::string_view(number->text, number->length), stable,
                                               record.line);
    const int32_t column = run.sourceColumn[MemberNumberField];
    if (seen.sameNumberLine != 0) {
        addProblem(run, record, RuleDuplicateMemberNumber, column, MemberNumberField, textOf(*number),
                   "the same member number as line " + std::to_string(seen.sameNumberLine));
    }
    if (seen.sameCutLine != 0) {
        addProblem(run, record, RuleSameCutMemberNumber, column, MemberNumberField, textOf(*number),
                   "cut to 10 characters, the member number of line " + std::to_string(seen.sameCutLine));
    }
}

void valueLine(CheckRun &run, const SourceRecord &record, const LibraryLine &line) {
    Rejection rejection = readLibraryLine(line, run.layout, run.member);
    int32_t status = 0;
    if (rejection == NotRejected) {
        status = classifyLibraryStatus(run.member, run.statuses);
        if (status == 0) rejection = UnknownStatus;
    }
    if (rejection != NotRejected) {
        run.check.summary.rejected[rejection] += 1;
    } else {
        addMemberToSummary(run.check.summary, run.member, status);
        addWarnings(run, record, status);
    }
    checkMemberNumber(run, record);
}

void processRecord(CheckRun &run, const SourceRecord &record) {
    DataSummary &summary = run.check.summary;
    summary.linesRead += 1;
    // a spreadsheet's blank line is no member
    if (run.spreadsheet && record.blank) {
        summary.blankLines += 1;
        return;
    }
    run.lineHasError = false;
    const bool fieldsWorthChecking = checkLineLayout(run, record);
    const LibraryLine line =
        run.convert ? convertRecord(run, record) : LibraryLine{record.bytes, record.length, record.lineFeed, run.delimiter};
    if (run.convert && line.length > kMostConvertedLine) {
        addLineProblem(run, record, RuleLineTooLong,
                       "the line is more than 498 characters long as the valuation reads it, which it cannot read at once");
    }
    if (fieldsWorthChecking) {
        checkFields(run, record, line);
        if (!run.convert) checkUnusedColumns(run, record);
    }
    valueLine(run, record, line);
    summary.linesWithErrors += run.lineHasError ? 1 : 0;
    run.firstDataLine = false;
}

void reportByteOrderMark(CheckRun &run, const char *bytes, int64_t size) {
    SourceRecord first;
    first.line = 1;
    first.bytes = bytes;
    first.length = static_cast<int32_t>(std::min<int64_t>(size, kByteOrderMarkBytes));
    addLineProblem(run, first, RuleByteOrderMark,
                   "the file starts with a UTF-8 byte-order mark, which the valuation reads as part of the first "
                   "field (layout = \"spreadsheet\" drops it)");
}

// The header row's texts, and where the data begins.
bool readHeader(CheckRun &run, RecordReader &reader, SourceRecord &record, std::vector<std::string> &names,
                SourceRecord &where) {
    bool more = nextRecord(reader, record);
    while (more && run.spreadsheet && record.blank) {
        run.check.summary.linesRead += 1;
        run.check.summary.blankLines += 1;
        more = nextRecord(reader, record);
    }
    if (!more) return false;
    run.check.summary.linesRead += 1;
    run.check.summary.headerLines += 1;
    for (const FieldText &text : record.fields) {
        std::string name = textOf(text);
        // quotes around a name in the library's layout are no part of it
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        names.push_back(name);
    }
    where.line = record.line;
    run.check.firstByte = reader.position;
    return true;
}

} // namespace

char delimiterOfCode(int32_t delimiterCode) {
    switch (delimiterCode) {
    case 1: return '\t';
    case 2: return ',';
    case 3: return ';';
    case 4: return ' ';
    default: return '0'; // any other code selects the digit zero
    }
}

void checkMemberBytes(const PlanBasis &basis, const char *bytes, int64_t size, MemberCheck &check) {
    check = MemberCheck{};
    CheckRun run{basis, check};
    run.delimiter = delimiterOfCode(basis.delimiterCode);
    run.spreadsheet = basis.spreadsheetLayout;
    run.convert = basis.spreadsheetLayout || basis.decimalSeparator == ',';
    run.limits = plausibilityLimits(basis);
    run.statuses = makeLibraryStatusTable(basis.statusCodes);
    check.converted = run.convert;
    if (run.convert) check.convertedBytes.reserve(static_cast<size_t>(size + size / 8 + 64));
    if (!run.spreadsheet && startsWithByteOrderMark(bytes, size)) reportByteOrderMark(run, bytes, size);

    RecordReader reader = openRecords(bytes, size, run.spreadsheet, run.delimiter);
    SourceRecord record;
    std::vector<std::string> names;
    SourceRecord headerPlace;
    const bool header = basis.headerRow && readHeader(run, reader, record, names, headerPlace);
    // without the columns nothing can be read
    if (!resolveColumns(run, header ? &names : nullptr, headerPlace)) return;
    planColumns(run);
    while (nextRecord(reader, record)) processRecord(run, record);
}
