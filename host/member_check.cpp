#include "member_check.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <memory>
#include <thread>
#include <deque>

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
constexpr int64_t kCheckPartBytes = 128 * 1024; // parts of the file checked on their own
constexpr int64_t kShortestMemberLine = 40; // bytes of a typical short line, to make room for a part's numbers

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

// What every part of the file is checked against: fixed before the first line.
struct CheckPlan {
    const PlanBasis *basis = nullptr;
    char delimiter = ',';
    bool spreadsheet = false;
    bool convert = false;                 // the engine reads converted lines
    std::array<int32_t, kMemberFields + 1> sourceColumn{}; // each field's column in the file, 0 none
    std::vector<int32_t> order{};         // the fields in the order of their columns
    int32_t lastMappedColumn = 0;
    LibraryLayout layout{};
    PlausibilityLimits limits{};
    LibraryStatusTable statuses{};
    FieldKind kind[kMemberFields + 1] = {}; // what each field holds
    bool unusedColumnsBetween = false;     // a column without a field stands before the last field's
};

// A member number of a part, recorded when the parts are joined.
struct PendingNumber {
    uint64_t hash;    // of the whole number
    uint64_t cutHash; // of its first 10 characters (numbers of 10 or more)
    int64_t line;
    std::string_view number;
};

// The check of one part of the file (or of the header row).
struct CheckRun {
    CheckPlan &plan;
    MemberCheck &check;                   // the part's findings, summary and converted lines
    LibraryMember member{};               // as the valuation carries it from line to line
    LibraryMember scratch{};              // a field read on its own
    std::vector<PendingNumber> numbers{};
    std::deque<std::string> numberStore{}; // member numbers that were unquoted: they outlive their record here
    int32_t fieldStart[kMemberFields + 1] = {}; // each field's position in the line the engine reads
    bool firstDataLine = false;
    int64_t longLine = 0;                 // the line read in pieces, if the last record was one
    bool lineHasError = false;
    bool carrySettled = false;            // a line has set the member number and status the part started with
    bool usedCarry = false;               // a line was read with the member number or status carried into the part
};

// --- findings -----------------------------------------------------------

const FieldText *fieldOf(const CheckRun &run, const SourceRecord &record, int32_t field) {
    const int32_t column = run.plan.sourceColumn[field];
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
    run.plan.sourceColumn = run.plan.basis->fieldColumn;
    bool ok = true;
    for (int32_t field = 1; field <= kMemberFields; ++field) {
        const std::string &name = run.plan.basis->fieldHeader[field];
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
        } else if (!run.plan.spreadsheet && found > kMaxColumn) {
            addProblem(run, where, RuleHeaderColumn, found, field, name,
                       "column " + std::to_string(found) + " is past the 20 columns of the library's layout "
                       "(layout = \"spreadsheet\" reads any column)");
            ok = false;
        }
        run.plan.sourceColumn[field] = found;
    }
    return ok;
}

// The fields in the order of their columns, and where the engine finds them.
void planColumns(CheckRun &run) {
    run.plan.order.clear();
    for (int32_t field = 1; field <= kMemberFields; ++field) {
        if (run.plan.sourceColumn[field] != 0) run.plan.order.push_back(field);
    }
    std::sort(run.plan.order.begin(), run.plan.order.end(),
              [&](int32_t a, int32_t b) { return run.plan.sourceColumn[a] < run.plan.sourceColumn[b]; });
    run.plan.lastMappedColumn = run.plan.order.empty() ? 0 : run.plan.sourceColumn[run.plan.order.back()];
    run.plan.unusedColumnsBetween = static_cast<int32_t>(run.plan.order.size()) < run.plan.lastMappedColumn;
    std::array<int32_t, kMemberFields + 1> engine{};
    if (run.plan.convert) {
        // converted lines hold the fields alone, one after another
        for (size_t i = 0; i < run.plan.order.size(); ++i) engine[run.plan.order[i]] = static_cast<int32_t>(i) + 1;
    } else {
        engine = run.plan.sourceColumn;
    }
    run.check.engineColumns = engine;
    run.plan.layout = makeLibraryLayout(run.plan.delimiter, engine.data());
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

// Writes one field as the library reads it, and its delimiter: a number
// without blanks and with the decimal point, a text as it is.
char *writeConvertedField(const CheckPlan &plan, char *write, int32_t field, const FieldText &source) {
    const char *text = source.text;
    int32_t length = source.length;
    const bool number = plan.kind[field] >= WholeKind;
    // only a quoted field can hold the delimiter or a line end; it cannot
    // stand in the library's layout: refused, and left empty here
    if (source.quoted && holdsLineBreakOrDelimiter(source, plan.delimiter)) {
        length = 0;
    } else if (number) {
        trimBlanks(text, length);
    }
    if (number && plan.basis->decimalSeparator == ',') {
        for (int32_t i = 0; i < length; ++i) write[i] = text[i] == ',' ? '.' : text[i];
    } else {
        std::memcpy(write, text, static_cast<size_t>(length));
    }
    write += length;
    *write++ = plan.delimiter;
    return write;
}

// The record as a line of the library's layout at the end of the converted
// bytes; fields past the end of the record stay absent, as they were.
LibraryLine convertRecord(CheckRun &run, const SourceRecord &record) {
    std::string &out = run.check.convertedBytes;
    const size_t lineStart = out.size();
    // room for the fields (no longer than the record), their delimiters and the line feed
    out.resize(lineStart + static_cast<size_t>(record.length) + run.plan.order.size() + 1);
    char *const first = out.data() + lineStart;
    char *write = first;
    for (int32_t field : run.plan.order) {
        const FieldText *source = fieldOf(run, record, field);
        if (source == nullptr) break;
        run.fieldStart[field] = static_cast<int32_t>(write - first);
        write = writeConvertedField(run.plan, write, field, *source);
    }
    const int32_t length = static_cast<int32_t>(write - first);
    *write++ = '\n';
    out.resize(static_cast<size_t>(write - out.data()));
    return LibraryLine{out.data() + lineStart, length, true, run.plan.delimiter};
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
    for (int32_t field : run.plan.order) {
        const FieldText *text = fieldOf(run, record, field);
        if (text == nullptr || run.plan.kind[field] < WholeKind) continue;
        const char *end = text->text + text->length;
        const bool letters = std::any_of(text->text, end, isLetter);
        const bool digits = std::any_of(text->text, end, [](char c) { return c >= '0' && c <= '9'; });
        words += letters && !digits ? 1 : 0;
    }
    return words >= kHeaderLikeFields;
}

void reportNoDelimiter(CheckRun &run, const SourceRecord &record) {
    int32_t count = 0;
    const char other = mostFrequentOtherDelimiter(record, run.plan.delimiter, count);
    std::string detail = std::string("the line holds no ") + delimiterName(run.plan.delimiter) + " (member_file.delimiter)";
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
    if (!record.lineFeed && static_cast<int32_t>(record.fields.size()) < run.plan.lastMappedColumn) {
        addLineProblem(run, record, RuleLastLineEnd,
                       "the last line has no line feed and ends before column " + std::to_string(run.plan.lastMappedColumn) +
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
    if (!(run.plan.spreadsheet ? checkSpreadsheetRecord(run, record) : checkLibraryLine(run, record))) return false;
    if (record.fields.size() == 1 && record.length > 0 && run.plan.lastMappedColumn > 1) {
        reportNoDelimiter(run, record);
        return false;
    }
    if (run.firstDataLine && !run.plan.basis->headerRow && looksLikeHeader(run, record)) {
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
    const int32_t column = run.plan.sourceColumn[field];
    if (run.plan.spreadsheet) {
        if (!source.quoted || !holdsLineBreakOrDelimiter(source, run.plan.delimiter)) return true;
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
    if (run.plan.spreadsheet) trimBlanks(text, length);
    // an empty field keeps the field's default
    if (length == 0) return;
    const int32_t decimals = decimalsOfField(field);
    const int32_t position = run.plan.convert ? run.fieldStart[field] : source.start;
    const FieldVerdict verdict = checkNumberText(text, length, decimals, run.plan.basis->decimalSeparator);
    // blanks alone are an empty field too
    const bool blanks = !verdict.ok && verdict.rule == RuleNoDigits &&
                        std::all_of(text, text + length, [](char c) { return c == ' '; });
    if (!verdict.ok && !blanks) {
        addProblem(run, record, verdict.rule, run.plan.sourceColumn[field], field, textOf(source),
                   describeVerdict(verdict, decimals, 0) + "; " + readingOf(line, position, field));
        return;
    }
    // a plain number whose delimiter stands past the valuation's room for numbers
    if (position + length >= kNumericPositionLimit - kAmountRoom &&
        readLibraryField(line, position, field, run.scratch).rejection != NotRejected) {
        addProblem(run, record, RuleTooWide, run.plan.sourceColumn[field], field, textOf(source),
                   "the number ends past position 195 of the line, where the valuation stops reading numbers; " +
                       readingOf(line, position, field));
    }
}

void checkTextField(CheckRun &run, const SourceRecord &record, int32_t field, const FieldText &source) {
    const int32_t width = field == MemberNumberField ? kMemberNumberWidth : field == StatusField ? kStatusWidth : 1;
    const FieldVerdict verdict = checkTextWidth(source.length, width);
    if (verdict.ok) return;
    addProblem(run, record, RuleTooWide, run.plan.sourceColumn[field], field, textOf(source),
               describeVerdict(verdict, 0, width) + "; the valuation would reject the line");
}

void checkFields(CheckRun &run, const SourceRecord &record, const LibraryLine &line) {
    for (int32_t field : run.plan.order) {
        const FieldText *source = fieldOf(run, record, field);
        if (source == nullptr) break; // the line ends before the field: its default
        if (!checkFieldForm(run, record, field, *source)) continue;
        if (run.plan.kind[field] >= WholeKind) checkNumberField(run, record, line, field, *source);
        else checkTextField(run, record, field, *source);
    }
}

// Library layout: a column without a field is passed 10 characters at most,
// and "!" in it (after its first character) ends the line's data; either
// misreads the fields after it.
void checkUnusedColumns(CheckRun &run, const SourceRecord &record) {
    const int32_t columns = std::min(static_cast<int32_t>(record.fields.size()), run.plan.lastMappedColumn - 1);
    for (int32_t column = 1; column <= columns; ++column) {
        if (column <= kMaxColumn && run.plan.layout.fieldInColumn[column] != NoField) continue;
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
    const int32_t count = plausibilityWarnings(run.member, status, run.plan.limits, warnings);
    for (int32_t i = 0; i < count; ++i) {
        const FieldText *text = fieldOf(run, record, warnings[i].field);
        addProblem(run, record, warnings[i].rule, run.plan.sourceColumn[warnings[i].field], warnings[i].field,
                   text != nullptr ? textOf(*text) : std::string(), warnings[i].detail);
    }
}

// The member number is kept for the join of the parts, where each is
// compared with those of the lines before it.
void keepMemberNumber(CheckRun &run, const SourceRecord &record) {
    const FieldText *number = fieldOf(run, record, MemberNumberField);
    if (number == nullptr || std::all_of(number->text, number->text + number->length, [](char c) { return c == ' '; })) {
        return;
    }
    std::string_view text(number->text, static_cast<size_t>(number->length));
    // the file's bytes outlive the check; an unquoted copy does not
    const char *copies = record.unquoted.data();
    if (number->text >= copies && number->text < copies + record.unquoted.size()) {
        run.numberStore.emplace_back(text);
        text = run.numberStore.back();
    }
    const uint64_t cutHash = text.size() >= static_cast<size_t>(kMemberNumberKept) ? cutNumberHash(text) : 0;
    run.numbers.push_back(PendingNumber{memberNumberHash(text), cutHash, record.line, text});
}

// The carried member number and status: a part starts without them, so
// every line read before one has set both may have to be read again once
// the part before is known.
void noteCarry(CheckRun &run, uint32_t fieldsRead) {
    if (run.carrySettled) return;
    // a file without member numbers carries the empty one throughout
    const bool numberSet =
        run.plan.sourceColumn[MemberNumberField] == 0 || (fieldsRead & (1u << MemberNumberField)) != 0;
    const bool statusSet = (fieldsRead & (1u << StatusField)) != 0;
    if (numberSet && statusSet) run.carrySettled = true;
    else run.usedCarry = true;
}

// The line as the valuation reads it; the member's status, or a rejection.
Rejection readLine(CheckRun &run, const LibraryLine &line, int32_t &status, bool &plain) {
    uint32_t fieldsRead = 0;
    Rejection rejection = readLibraryLine(line, run.plan.layout, run.member, &fieldsRead, &plain);
    noteCarry(run, fieldsRead);
    status = 0;
    if (rejection == NotRejected) {
        status = classifyLibraryStatus(run.member, run.plan.statuses);
        if (status == 0) rejection = UnknownStatus;
    }
    return rejection;
}

void countMember(CheckRun &run, const SourceRecord &record, Rejection rejection, int32_t status) {
    if (rejection != NotRejected) {
        run.check.summary.rejected[rejection] += 1;
    } else {
        addMemberToSummary(run.check.summary, run.member, status);
        addWarnings(run, record, status);
    }
    keepMemberNumber(run, record);
}

bool holdsDigit(const FieldText &text) {
    return std::any_of(text.text, text.text + text.length, [](char c) { return c >= '0' && c <= '9'; });
}

// A plain line's fields: the valuation read every number as digits and a
// point, so only a number without a digit, or one whose point stood in the
// file where the basis names the comma, can be wrong; and what the reading
// does not see, a quoted field.
void checkPlainFields(CheckRun &run, const SourceRecord &record, const LibraryLine &line) {
    const bool comma = run.plan.basis->decimalSeparator == ',';
    for (int32_t field : run.plan.order) {
        const FieldText *source = fieldOf(run, record, field);
        if (source == nullptr) break;
        if (!checkFieldForm(run, record, field, *source)) continue;
        if (run.plan.kind[field] < WholeKind || source->length == 0) continue;
        if (!holdsDigit(*source) || (comma && std::memchr(source->text, '.', static_cast<size_t>(source->length)))) {
            checkNumberField(run, record, line, field, *source);
        }
    }
}

void processRecord(CheckRun &run, const SourceRecord &record) {
    DataSummary &summary = run.check.summary;
    summary.linesRead += 1;
    // a spreadsheet's blank line is no member
    if (run.plan.spreadsheet && record.blank) {
        summary.blankLines += 1;
        return;
    }
    run.lineHasError = false;
    const bool fieldsWorthChecking = checkLineLayout(run, record);
    const LibraryLine line =
        run.plan.convert ? convertRecord(run, record) : LibraryLine{record.bytes, record.length, record.lineFeed, run.plan.delimiter};
    if (run.plan.convert && line.length > kMostConvertedLine) {
        addLineProblem(run, record, RuleLineTooLong,
                       "the line is more than 498 characters long as the valuation reads it, which it cannot read at once");
    }
    int32_t status = 0;
    bool plain = false;
    const Rejection rejection = readLine(run, line, status, plain);
    // a plain line needs few of the checks: its columns and numbers are as the valuation read them
    if (fieldsWorthChecking && plain) {
        checkPlainFields(run, record, line);
    } else if (fieldsWorthChecking) {
        checkFields(run, record, line);
        if (!run.plan.convert && run.plan.unusedColumnsBetween) checkUnusedColumns(run, record);
    }
    countMember(run, record, rejection, status);
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
    while (more && run.plan.spreadsheet && record.blank) {
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

// --- parts -------------------------------------------------------------------

// A part of the file: the records that start in [begin, end). Parts are
// checked on their own (on as many threads as asked) and joined in file
// order; they depend on the file alone, so that every figure is the same
// for any number of threads.
struct Part {
    int64_t begin;
    int64_t end;
    MemberCheck check;    // the part's findings (lines counted from the part's start), summary, lines
    CheckRun run;
    int64_t stop = 0;     // where the part's last record ended
    int64_t lines = 0;    // lines of the file its records took
    Part(CheckPlan &plan, int64_t first, int64_t last) : begin(first), end(last), check(), run{plan, check} {}
};

// Parts of about kCheckPartBytes, each starting right after a line feed.
std::vector<int64_t> partStarts(const char *bytes, int64_t dataStart, int64_t size) {
    std::vector<int64_t> starts{dataStart};
    int64_t position = dataStart + kCheckPartBytes;
    while (position < size) {
        const void *found = std::memchr(bytes + position, '\n', static_cast<size_t>(size - position));
        if (found == nullptr) break;
        const int64_t start = static_cast<const char *>(found) - bytes + 1;
        if (start >= size) break;
        starts.push_back(start);
        position = start + kCheckPartBytes;
    }
    return starts;
}

// Checks the part from its begin; `carry` is the member number and status
// the lines before it leave (null: not known yet, read as if none).
void checkPart(const char *bytes, int64_t size, Part &part, const LibraryMember *carry, bool firstPart) {
    part.check = MemberCheck{};
    CheckRun &run = part.run;
    run.member = carry != nullptr ? *carry : LibraryMember{};
    run.numbers.clear();
    // a part read again from inside the next one's bytes may have none left
    const int64_t partBytes = std::max<int64_t>(part.end - part.begin, 0);
    run.numbers.reserve(static_cast<size_t>(partBytes / kShortestMemberLine + 1));
    run.numberStore.clear();
    run.longLine = 0;
    run.firstDataLine = firstPart;
    run.carrySettled = carry != nullptr;
    run.usedCarry = false;
    if (run.plan.convert) part.check.convertedBytes.reserve(static_cast<size_t>(partBytes) * 9 / 8 + 64);
    RecordReader reader{bytes, size, part.begin, 1, run.plan.spreadsheet, run.plan.delimiter};
    SourceRecord record;
    while (reader.position < part.end && nextRecord(reader, record)) processRecord(run, record);
    part.stop = reader.position;
    part.lines = reader.line - 1;
}

void checkPartsOnThreads(const char *bytes, int64_t size, std::vector<std::unique_ptr<Part>> &parts, int jobs) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < parts.size(); i = next++) checkPart(bytes, size, *parts[i], nullptr, i == 0);
    };
    const size_t helpers = std::min(parts.size(), static_cast<size_t>(std::max(jobs, 1))) - 1;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
    work();
    for (std::thread &thread : threads) thread.join();
}

bool sameCarry(const LibraryMember &a, const LibraryMember &b) {
    return std::strcmp(a.memberNumber, b.memberNumber) == 0 && std::strcmp(a.statusCode, b.statusCode) == 0;
}

// Adds the part to the whole: its findings at their lines in the file.
void joinPart(MemberCheck &whole, Part &part, int64_t lineOffset) {
    for (CheckProblem &problem : part.check.problems) {
        if (problem.line > 0) problem.line += lineOffset;
        whole.problems.push_back(std::move(problem));
    }
    addSummary(whole.summary, part.check.summary);
    whole.hasErrors = whole.hasErrors || part.check.hasErrors;
    whole.hasUnacceptableErrors = whole.hasUnacceptableErrors || part.check.hasUnacceptableErrors;
    whole.convertedBytes += part.check.convertedBytes;
    for (PendingNumber &number : part.run.numbers) number.line += lineOffset;
}

// The member numbers are found again in shares by their hash (equal texts
// fall in the same share), each share on a thread of its own; within a share
// every number is compared with the earlier ones, in file order.
struct NumberSearch {
    const CheckPlan &plan;
    const std::vector<std::unique_ptr<Part>> &parts;
    size_t count;                   // numbers of the whole file
    uint32_t shares;
    std::vector<uint8_t> duplicate; // by number: an earlier line has the same one
    std::vector<std::vector<CheckProblem>> found; // by share
};

uint32_t shareOf(uint64_t hash, uint32_t shares) { return static_cast<uint32_t>((hash >> 32) % shares); }

CheckProblem numberFinding(const NumberSearch &search, const PendingNumber &n, CheckRule rule, const std::string &detail) {
    const std::string text(n.number);
    return CheckProblem{n.line, search.plan.sourceColumn[MemberNumberField], MemberNumberField, rule, text, text, detail};
}

// Whole numbers (cut = false), then their first 10 characters (cut = true;
// a number an earlier line has is said once, as the same number).
void searchShare(NumberSearch &search, uint32_t share, bool cut) {
    NumberTable table;
    reserveMemberNumbers(table, search.count / search.shares + 16);
    std::vector<CheckProblem> &found = search.found[share];
    size_t index = 0;
    for (const auto &part : search.parts) {
        for (const PendingNumber &n : part->run.numbers) {
            const size_t at = index++;
            if (!cut) {
                if (shareOf(n.hash, search.shares) != share) continue;
                const int64_t earlier = recordWholeNumber(table, n.number, n.hash, n.line);
                if (earlier == 0) continue;
                search.duplicate[at] = 1;
                found.push_back(numberFinding(search, n, RuleDuplicateMemberNumber,
                                              "the same member number as line " + std::to_string(earlier)));
            } else {
                if (n.number.size() < static_cast<size_t>(kMemberNumberKept) || search.duplicate[at] != 0 ||
                    shareOf(n.cutHash, search.shares) != share) {
                    continue;
                }
                const int64_t earlier = recordCutNumber(table, n.number, n.cutHash, n.line);
                if (earlier == 0) continue;
                found.push_back(numberFinding(search, n, RuleSameCutMemberNumber,
                                              "cut to 10 characters, the member number of line " + std::to_string(earlier)));
            }
        }
    }
}

void searchShares(NumberSearch &search, bool cut) {
    std::vector<std::thread> threads;
    for (uint32_t share = 1; share < search.shares; ++share) {
        threads.emplace_back([&search, share, cut] { searchShare(search, share, cut); });
    }
    searchShare(search, 0, cut);
    for (std::thread &thread : threads) thread.join();
}

// Every member number against those of the lines before it; the warnings are
// merged into the findings at their lines.
void findSameMemberNumbers(const CheckPlan &plan, MemberCheck &whole, const std::vector<std::unique_ptr<Part>> &parts,
                           int jobs) {
    size_t count = 0;
    for (const auto &part : parts) count += part->run.numbers.size();
    const uint32_t shares = static_cast<uint32_t>(std::max(jobs, 1));
    NumberSearch search{plan, parts, count, shares, std::vector<uint8_t>(count, 0),
                        std::vector<std::vector<CheckProblem>>(shares)};
    searchShares(search, false);
    searchShares(search, true);
    std::vector<CheckProblem> found;
    for (std::vector<CheckProblem> &share : search.found) {
        for (CheckProblem &problem : share) found.push_back(std::move(problem));
    }
    if (found.empty()) return;
    // in file order, the same number before the cut one: as for one share
    std::sort(found.begin(), found.end(), [](const CheckProblem &a, const CheckProblem &b) {
        return a.line != b.line ? a.line < b.line : a.rule < b.rule;
    });
    for (const CheckProblem &problem : found) whole.summary.findings[problem.rule] += 1;
    std::vector<CheckProblem> merged;
    merged.reserve(whole.problems.size() + found.size());
    // a line's own findings first, then its member number's
    std::merge(std::make_move_iterator(whole.problems.begin()), std::make_move_iterator(whole.problems.end()),
               std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()), std::back_inserter(merged),
               [](const CheckProblem &a, const CheckProblem &b) { return a.line < b.line; });
    whole.problems.swap(merged);
}

// The parts checked, then joined in file order; a part whose lines read
// the member number or status carried into it, or that begins inside a
// record of the part before (a quoted line end), is read again from where
// that part ended, with what it left.
void checkData(CheckPlan &plan, const char *bytes, int64_t size, int64_t dataStart, int64_t lineOffset,
               MemberCheck &whole, int jobs) {
    const std::vector<int64_t> starts = partStarts(bytes, dataStart, size);
    std::vector<std::unique_ptr<Part>> parts;
    for (size_t i = 0; i < starts.size(); ++i) {
        parts.push_back(std::make_unique<Part>(plan, starts[i], i + 1 < starts.size() ? starts[i + 1] : size));
    }
    checkPartsOnThreads(bytes, size, parts, jobs);
    if (plan.convert) whole.convertedBytes.reserve(static_cast<size_t>(size) * 9 / 8 + 64);
    LibraryMember carry; // nothing is carried into the first line
    int64_t expectedBegin = dataStart;
    for (size_t i = 0; i < parts.size(); ++i) {
        Part &part = *parts[i];
        if (part.begin != expectedBegin || (part.run.usedCarry && !sameCarry(carry, LibraryMember{}))) {
            part.begin = expectedBegin;
            checkPart(bytes, size, part, &carry, i == 0);
        }
        joinPart(whole, part, lineOffset);
        carry = part.run.member;
        expectedBegin = std::max(part.stop, part.begin);
        lineOffset += part.lines;
    }
    findSameMemberNumbers(plan, whole, parts, jobs);
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

void checkMemberBytes(const PlanBasis &basis, const char *bytes, int64_t size, MemberCheck &check, int jobs) {
    check = MemberCheck{};
    CheckPlan plan;
    plan.basis = &basis;
    plan.delimiter = delimiterOfCode(basis.delimiterCode);
    plan.spreadsheet = basis.spreadsheetLayout;
    plan.convert = basis.spreadsheetLayout || basis.decimalSeparator == ',';
    plan.limits = plausibilityLimits(basis);
    plan.statuses = makeLibraryStatusTable(basis.statusCodes);
    for (int32_t field = 1; field <= kMemberFields; ++field) plan.kind[field] = kindOfField(field);
    check.converted = plan.convert;
    CheckRun run{plan, check};
    if (!plan.spreadsheet && startsWithByteOrderMark(bytes, size)) reportByteOrderMark(run, bytes, size);

    RecordReader reader = openRecords(bytes, size, plan.spreadsheet, plan.delimiter);
    SourceRecord record;
    std::vector<std::string> names;
    SourceRecord headerPlace;
    const bool header = basis.headerRow && readHeader(run, reader, record, names, headerPlace);
    // without the columns nothing can be read
    if (!resolveColumns(run, header ? &names : nullptr, headerPlace)) return;
    planColumns(run);
    checkData(plan, bytes, size, reader.position, reader.line - 1, check, jobs);
}
