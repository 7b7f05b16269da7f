// The member line scan: one cursor over the line buffer, one parser per field
// code, a message in the error log for every field that cannot be read.
#include "input/member_parser.h"

#include <cstring>
#include <initializer_list>

#include "input/report_format.h"

namespace {

constexpr int32_t kPositionLimit = 195;     // a numeric field's delimiter stands at 195 or before
constexpr int32_t kUnassignedWidth = 10;    // characters passed in an unassigned column
constexpr int32_t kMemberNumberWidth = 20;  // characters of the member number field
constexpr int32_t kMemberNumberKept = 10;   // of which the member number keeps these
constexpr int32_t kStatusWidth = 5;         // characters of the status field
constexpr int kMessageBufferSize = 2048;    // holds any message, whatever the amounts
constexpr int kAmountDecimals = 2;
constexpr int kFractionDecimals = 3;

enum FieldCode : int32_t {
    Unassigned = 0,
    MemberNumberField = 1,
    StatusCodeField = 2,
    AgeField = 3,
    SexField = 4,
    AnnualSalaryField = 5,
    ServiceWithGuaranteeField = 6,
    ServiceWithoutGuaranteeField = 7,
    CurrentPensionField = 8,
    MaritalStatusField = 9,
    SpouseAgeField = 10,
    YearsRetiredField = 11,
    BridgePensionField = 12,
    GuaranteedFractionField = 13,
    AverageSalaryField = 14,
};

// What a column's parser leaves the scan to do.
enum ColumnOutcome {
    NextColumn,  // the field was read, the cursor is on the next column
    LineEnd,     // the data ended inside an unassigned column
    FieldFailed, // a field error was logged: the line is abandoned
};

struct LineCursor {
    const char *line;   // the line buffer, kLineBufferSize bytes
    char delimiter;     // the run's field delimiter
    int32_t position;   // the character under the cursor
};

// Beyond the line buffer everything reads as the filler, so that no scan can
// leave the buffer however the columns advance.
inline char charAt(const LineCursor &cursor, int32_t position) {
    return position < kLineBufferSize ? cursor.line[position] : kLineFiller;
}

inline char current(const LineCursor &cursor) { return charAt(cursor, cursor.position); }

inline bool atDelimiter(const LineCursor &cursor) { return current(cursor) == cursor.delimiter; }

// Bytes count as signed 8-bit characters: a byte 0xE9 has the code -23.
inline int32_t codeOf(char c) { return static_cast<signed char>(c); }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Formats the message without the C library's locale: an amount always has
// a point, whatever locale the calling program has set.
void logFieldError(ErrorLog &log, const char *format, std::initializer_list<ReportValue> values) {
    char message[kMessageBufferSize];
    const int length = formatReportLine(message, kMessageBufferSize, format, values);
    if (length > 0) writeLogLine(log.sink, message, length);
    // The host's counter wraps rather than overflows.
    *log.errorCount = static_cast<int32_t>(static_cast<uint32_t>(*log.errorCount) + 1u);
}

// Unassigned column: at most 10 characters are passed, and a "!" reached on
// the way is the end of the line's data. The character that stops the walk is
// stepped over as the delimiter, even when the 10 characters ran out first.
ColumnOutcome skipUnassignedColumn(LineCursor &cursor) {
    int32_t passed = 0;
    while (!atDelimiter(cursor) && passed < kUnassignedWidth) {
        ++cursor.position;
        ++passed;
        if (current(cursor) == kLineFiller) return LineEnd;
    }
    ++cursor.position;
    return NextColumn;
}

// Copies up to `width` characters into a space-filled raw buffer; the kept
// text is set before the width check, so that a message already shows it.
// The copy stops at the line feed: a line that ends inside the field leaves
// the field without its delimiter (too wide, as before), but the line feed
// never becomes part of a member number or status, which would split the
// listing line and the message that show it.
bool copyTextField(LineCursor &cursor, int32_t width, char *kept, int32_t keptWidth) {
    char raw[kMemberNumberWidth];
    std::memset(raw, ' ', sizeof raw);
    int32_t length = 0;
    while (!atDelimiter(cursor) && current(cursor) != '\n' && length < width) {
        raw[length++] = current(cursor);
        ++cursor.position;
    }
    std::memcpy(kept, raw, static_cast<size_t>(keptWidth));
    kept[keptWidth] = '\0';
    return atDelimiter(cursor);
}

ColumnOutcome parseMemberNumber(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (!copyTextField(cursor, kMemberNumberWidth, member.memberNumber, kMemberNumberKept)) {
        logFieldError(log, "Error: Member %s, member number field too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

ColumnOutcome parseStatusCode(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (!copyTextField(cursor, kStatusWidth, member.statusCode, kStatusWidth)) {
        logFieldError(log, "Error: Member %s, member status field too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

// Integer digits up to the delimiter: blanks are passed over, every other
// character counts as a digit of value (code - 48), so a letter or a sign
// gives a wrong number rather than an error. The sum wraps modulo 2^32.
// False when the field runs to the position limit without its delimiter.
bool scanInteger(LineCursor &cursor, int32_t &value) {
    uint32_t sum = 0;
    while (!atDelimiter(cursor) && cursor.position < kPositionLimit) {
        const char c = current(cursor);
        if (c != ' ') sum = sum * 10u + static_cast<uint32_t>(codeOf(c) - 48);
        ++cursor.position;
    }
    value = static_cast<int32_t>(sum);
    return atDelimiter(cursor);
}

// An amount: digits before the point (any other character ignored), then up
// to `decimals` characters after it weighted 0.1, 0.01, 0.001, which need
// not be digits. Returns true when the parse stopped on its own (at the
// delimiter or after the last decimal), false when it ran to the position
// limit. Whether the field ends at its delimiter is the caller's check.
bool scanAmount(LineCursor &cursor, int decimals, double &value) {
    static constexpr double kDecimalWeight[kFractionDecimals] = {0.1, 0.01, 0.001};
    value = 0.0;
    while (cursor.position < kPositionLimit) {
        const char c = current(cursor);
        if (c == '.') {
            ++cursor.position;
            for (int d = 0; d < decimals; ++d) {
                if (atDelimiter(cursor)) break;
                value = value + (codeOf(current(cursor)) - 48) * kDecimalWeight[d];
                ++cursor.position;
            }
            return true;
        }
        if (isDigit(c)) value = value * 10 + (c - '0');
        if (charAt(cursor, cursor.position + 1) == cursor.delimiter) {
            ++cursor.position;
            return true;
        }
        ++cursor.position;
    }
    return false;
}

// Age, spouse age and years retired share the integer rule and differ in the
// range and the messages. The value is kept even when rejected, so that the
// listing shows it.
ColumnOutcome parseAge(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (atDelimiter(cursor)) { // empty field: the default stays
        ++cursor.position;
        return NextColumn;
    }
    const bool ended = scanInteger(cursor, member.age);
    if (!ended) {
        logFieldError(log, "Error: Member %s, member age field too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    if (member.age < 15 || member.age > 119) {
        logFieldError(log, "Error: Member %s, member age %3i outside allowable range.\n", {member.memberNumber, member.age});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

ColumnOutcome parseSpouseAge(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (atDelimiter(cursor)) { // empty field: not given
        ++cursor.position;
        return NextColumn;
    }
    const bool ended = scanInteger(cursor, member.spouseAge);
    if (!ended) {
        logFieldError(log, "Error: Member %s, spouse age field too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    // A negative spouse age (a sign reads as a digit of -3) is as wrong as one
    // above 119; it would otherwise stretch the projection past its years.
    if (member.spouseAge < 0 || member.spouseAge > 119) {
        logFieldError(log, "Error: Member %s, spouse age %3i outside allowable range.\n", {member.memberNumber, member.spouseAge});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

ColumnOutcome parseYearsRetired(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (atDelimiter(cursor)) {
        ++cursor.position;
        return NextColumn;
    }
    const bool ended = scanInteger(cursor, member.yearsRetired);
    if (!ended) {
        logFieldError(log, "Error: Member %s, years since retirement field is too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    if (member.yearsRetired < 0 || member.yearsRetired > 50) {
        logFieldError(log, "Error: Member %s, years since retirement %3i outside allowable range.\n", {member.memberNumber, member.yearsRetired});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

// The amount fields differ only in the message of a field that does not end
// at its delimiter (a third decimal, a run past the position limit, a last
// field without its delimiter).
ColumnOutcome parseAmount(LineCursor &cursor, int32_t code, MemberRecord &member, ErrorLog &log) {
    double *field = nullptr;
    switch (code) {
    case AnnualSalaryField: field = &member.annualSalary; break;
    case ServiceWithGuaranteeField: field = &member.serviceWithGuarantee; break;
    case ServiceWithoutGuaranteeField: field = &member.serviceWithoutGuarantee; break;
    case CurrentPensionField: field = &member.currentPension; break;
    case BridgePensionField: field = &member.bridgePension; break;
    default: field = &member.averageSalary; break;
    }
    if (atDelimiter(cursor)) { // empty field: 0 stays
        ++cursor.position;
        return NextColumn;
    }
    scanAmount(cursor, kAmountDecimals, *field);
    if (atDelimiter(cursor)) {
        ++cursor.position;
        return NextColumn;
    }
    const char *number = member.memberNumber;
    switch (code) {
    case AnnualSalaryField:
        logFieldError(log, "Error: Member %s, problem reading annual salary field.\n", {number});
        break;
    case ServiceWithGuaranteeField: {
        // A last field without its delimiter stops on the line feed: it is
        // shown as a blank, so that the message stays one line of the log.
        const char stopped = current(cursor) == '\n' ? ' ' : current(cursor);
        logFieldError(log, "Error: Member %s, problem reading 'service with inflation guarantee' %c.\n", {number, stopped});
        break;
    }
    case ServiceWithoutGuaranteeField:
        logFieldError(log,
                      "Error: Member %s, problem reading 'service without inflation guarantee' %6.2f.\n", {number, *field});
        break;
    case CurrentPensionField:
        logFieldError(log, "Error: Member %s, problem reading current pension field: %10.2f.\n", {number, *field});
        break;
    case BridgePensionField:
        logFieldError(log, "Error: Member %s, problem reading bridge pension field: %10.2f.\n", {number, *field});
        break;
    default:
        logFieldError(log, "Error: Member %s, problem reading average salary field.\n", {number});
        break;
    }
    return FieldFailed;
}

// The guaranteed fraction reads three decimals and accepts percentages:
// whenever the parse stops on its own, a value above 1 is taken as a
// percentage, "12." included (it reads as 0.12, like "12").
ColumnOutcome parseGuaranteedFraction(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (atDelimiter(cursor)) {
        ++cursor.position;
        return NextColumn;
    }
    if (scanAmount(cursor, kFractionDecimals, member.guaranteedFraction) &&
        member.guaranteedFraction > 1) {
        member.guaranteedFraction = member.guaranteedFraction / 100;
    }
    if (atDelimiter(cursor)) {
        ++cursor.position;
        return NextColumn;
    }
    logFieldError(log,
                  "Error: Member %s, problem reading fraction of pension with inflation guarantee %6.2f.\n", {member.memberNumber, member.guaranteedFraction});
    return FieldFailed;
}

// Sex has no empty-field rule: an empty column stores the delimiter itself
// and ends in one of the two errors.
ColumnOutcome parseSex(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    member.sex = current(cursor);
    ++cursor.position;
    if (!atDelimiter(cursor)) {
        logFieldError(log, "Error: Member %s, member sex field too wide.\n", {member.memberNumber});
        return FieldFailed;
    }
    const char s = member.sex;
    if (s != 'M' && s != 'm' && s != 'F' && s != 'f') {
        logFieldError(log, "Error: Member %s, member sex %c not recognized.\n", {member.memberNumber, s});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

ColumnOutcome parseMaritalStatus(LineCursor &cursor, MemberRecord &member, ErrorLog &log) {
    if (atDelimiter(cursor)) { // empty field: "?" stays
        ++cursor.position;
        return NextColumn;
    }
    member.maritalStatus = current(cursor);
    ++cursor.position;
    const char s = member.maritalStatus;
    if (!atDelimiter(cursor)) {
        logFieldError(log, "Error: Member %s, trouble reading marital status field: %c\n", {member.memberNumber, s});
        return FieldFailed;
    }
    if (s != 'M' && s != 'm' && s != 'U' && s != 'u' && s != 'S' && s != 's') {
        logFieldError(log, "Error: Member %s, marital status %c not recognized.\n", {member.memberNumber, s});
        return FieldFailed;
    }
    ++cursor.position;
    return NextColumn;
}

ColumnOutcome parseColumn(LineCursor &cursor, int32_t code, MemberRecord &member, ErrorLog &log) {
    switch (code) {
    case Unassigned: return skipUnassignedColumn(cursor);
    case MemberNumberField: return parseMemberNumber(cursor, member, log);
    case StatusCodeField: return parseStatusCode(cursor, member, log);
    case AgeField: return parseAge(cursor, member, log);
    case SexField: return parseSex(cursor, member, log);
    case AnnualSalaryField:
    case ServiceWithGuaranteeField:
    case ServiceWithoutGuaranteeField:
    case CurrentPensionField:
    case BridgePensionField:
    case AverageSalaryField: return parseAmount(cursor, code, member, log);
    case MaritalStatusField: return parseMaritalStatus(cursor, member, log);
    case SpouseAgeField: return parseSpouseAge(cursor, member, log);
    case YearsRetiredField: return parseYearsRetired(cursor, member, log);
    case GuaranteedFractionField: return parseGuaranteedFraction(cursor, member, log);
    default:
        // A column given to a code without a parser: reported and counted, the
        // cursor stays, and the next column starts on the same text.
        logFieldError(log, "Error: Member %s, problem with data file layout.\n", {member.memberNumber});
        return NextColumn;
    }
}

} // namespace

char delimiterFromCode(int16_t delimiterCode) {
    switch (delimiterCode) {
    case 1: return '\t';
    case 2: return ',';
    case 3: return ';';
    case 4: return ' ';
    default: return '0'; // any other code selects the digit zero
    }
}

LineLayout makeLineLayout(int16_t delimiterCode, const int16_t *columnMap) {
    LineLayout layout{};
    layout.delimiter = delimiterFromCode(delimiterCode);
    for (int32_t column = 1; column <= kMapColumns; ++column) {
        // Two codes given the same column: the smaller code owns it, the
        // other keeps its default.
        for (int32_t code = 1; code <= kMapColumns; ++code) {
            if (columnMap[code] == column) {
                layout.fieldInColumn[column] = code;
                break;
            }
        }
    }
    return layout;
}

void resetMemberRecord(MemberRecord &member) {
    member.age = 0;
    member.sex = 'U';
    member.annualSalary = 0;
    member.serviceWithGuarantee = 0;
    member.serviceWithoutGuarantee = 0;
    member.currentPension = 0;
    member.maritalStatus = '?';
    member.spouseAge = 0;
    member.yearsRetired = 0;
    member.bridgePension = 0;
    member.guaranteedFraction = 0;
    member.averageSalary = 0;
    member.youngerAge = 0;
    member.projectionYears = 0;
    member.yearsToLastRetirementAge = 0;
    member.serviceYears = 0;
    member.cappedServiceYears = 0;
    member.wholeServiceYears = 0;
}

bool parseMemberLine(const char *line, const LineLayout &layout, MemberRecord &member, ErrorLog &log) {
    LineCursor cursor{line, layout.delimiter, 0};
    for (int32_t column = 1; column <= kScanColumns; ++column) {
        if (current(cursor) == '\n') return true;
        // Columns beyond the map have no field: they are passed as unassigned.
        const int32_t code = column <= kMapColumns ? layout.fieldInColumn[column] : Unassigned;
        switch (parseColumn(cursor, code, member, log)) {
        case NextColumn: break;
        case LineEnd: return true;
        case FieldFailed: return false;
        }
    }
    return true;
}

void writeLogLine(ReportSink &sink, const char *text, int length) {
    // A failed write is noted in the sink and the run goes on; a log with
    // neither file nor memory (a pass that only reads the lines) keeps nothing.
    if (length > 0) writeReport(sink, text, static_cast<size_t>(length));
}
